// Test helper for the Windows build: holds a file open the way another
// program might, so that the tool meets it in use.
//
//   velmorin-hold-file <file> <ready-file> <release-file> [--read-only]
//
// Opens <file> for reading and writing with no sharing at all, creates
// <ready-file>, then waits until <release-file> exists (two minutes at most)
// and closes it. With --read-only it only sets the file's read-only attribute
// and ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[4], "--read-only") == 0) {
    return SetFileAttributesA(argv[1], FILE_ATTRIBUTE_READONLY) ? 0 : 1;
  }
  if (argc != 4) {
    std::fputs("usage: velmorin-hold-file <file> <ready-file> <release-file> [--read-only]\n", stderr);
    return 2;
  }
  const HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  std::FILE* ready = std::fopen(argv[2], "w");
  if (ready == nullptr) return 1;
  std::fputs("ready\n", ready);
  std::fclose(ready);
  for (int waited = 0; waited < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++waited) Sleep(100);
  CloseHandle(held);
  return 0;
}
