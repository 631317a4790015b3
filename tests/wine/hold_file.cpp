// Test helper for the Windows build: holds a file open the way another
// program might, so that the tool meets it in use.
//
//   velmorin-hold-file <file> <ready-file> <release-file>
//
// Opens <file> for reading and writing with no sharing at all, creates
// <ready-file>, then waits until <release-file> exists (two minutes at most)
// and closes it.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: velmorin-hold-file <file> <ready-file> <release-file>\n", stderr);
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
