#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/file.h"

namespace {

// Wraps an open handle in a C stream; closes the handle when that fails.
std::FILE* StreamFromHandle(HANDLE handle, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, mode);
  if (file == nullptr) _close(fd);
  return file;
}

// Only disk files count: consoles, pipes and devices such as CON or NUL are refused.
bool IsDiskFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information) &&
         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::FILE* OpenRegularFileForReading(const char* path, int64_t* size) {
  const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER file_size{};
  if (!IsDiskFile(handle) || !GetFileSizeEx(handle, &file_size)) {
    CloseHandle(handle);
    return nullptr;
  }
  *size = file_size.QuadPart;
  return StreamFromHandle(handle, _O_RDONLY | _O_BINARY, "rb");
}

std::FILE* CreateFileForWriting(const char* path) {
  const HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!IsDiskFile(handle) || !SetEndOfFile(handle)) {
    CloseHandle(handle);
    return nullptr;
  }
  return StreamFromHandle(handle, _O_WRONLY | _O_BINARY, "wb");
}
