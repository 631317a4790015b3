// Test helper for the Windows build: a pipe server that keeps what its first
// client writes.
//
//   velmorin-pipe-reader <pipe-name> <ready-file> <output-file>
//
// Offers one instance of \\.\pipe\<pipe-name>, creates <ready-file>, then
// writes whatever its first client sends to <output-file> and ends when that
// client leaves. A program that connects only to look at the pipe takes that
// instance, and the next client finds the pipe busy or gone.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: velmorin-pipe-reader <pipe-name> <ready-file> <output-file>\n", stderr);
    return 2;
  }
  const std::string name = std::string("\\\\.\\pipe\\") + argv[1];
  const HANDLE pipe =
      CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  std::FILE* ready = pipe == INVALID_HANDLE_VALUE ? nullptr : std::fopen(argv[2], "w");
  if (ready == nullptr) return 1;
  std::fclose(ready);
  if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return 1;
  std::FILE* output = std::fopen(argv[3], "wb");
  if (output == nullptr) return 1;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) std::fwrite(buffer, 1, count, output);
  std::fclose(output);
  CloseHandle(pipe);
  return 0;
}
