#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/file.h"
#include "platform/wide_path_win32.h"

namespace {

// The ANSI calls take ordinary paths; a path that they would cut short or
// rewrite goes through the wide calls and its \\?\ spelling instead.
HANDLE OpenPath(const char* path, DWORD access, DWORD share, DWORD disposition) {
  if (!NeedsLiteralPath(path)) {
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  const std::wstring literal = LiteralPath(path);
  if (literal.empty()) return INVALID_HANDLE_VALUE;
  return CreateFileW(literal.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

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

// Only disk files count: consoles, pipes and devices such as CON or NUL are
// refused. `attributes` receives the file's attribute bits.
bool IsDiskFile(HANDLE handle, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information)) return false;
  *attributes = information.dwFileAttributes;
  return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::FILE* OpenRegularFileForReading(const char* path, int64_t* size) {
  const HANDLE handle = OpenPath(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER file_size{};
  DWORD attributes = 0;
  if (!IsDiskFile(handle, &attributes) || !GetFileSizeEx(handle, &file_size)) {
    CloseHandle(handle);
    return nullptr;
  }
  *size = file_size.QuadPart;
  return StreamFromHandle(handle, _O_RDONLY | _O_BINARY, "rb");
}

bool ReplaceFileContents(const char* path, const uint8_t* bytes, size_t size) {
  const HANDLE handle = OpenPath(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // A read-only copy stays as it is. Windows refuses to open it for writing
  // anyway, except to a Wine run as root; the tool behaves the same on both.
  DWORD attributes = 0;
  bool written = IsDiskFile(handle, &attributes) && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  for (size_t done = 0; written && done < size;) {
    DWORD count = 0;
    written = WriteFile(handle, bytes + done, static_cast<DWORD>(size - done), &count, nullptr) && count > 0;
    done += count;
  }
  // The file pointer stands at the end of the new bytes: cut anything older after them.
  written = written && SetEndOfFile(handle);
  return CloseHandle(handle) && written;
}

namespace {

// The process code page is UTF-8 where the manifest asks for it.
std::wstring WidePath(const char* path) {
  const int wide_size = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (wide_size <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), wide_size);
  wide.resize(static_cast<size_t>(wide_size) - 1);
  return wide;
}

}  // namespace

WholeWriteResult WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size, bool replace) {
  const std::wstring target = WidePath(path);
  if (target.empty()) return WholeWriteResult::kFailed;
  if (!replace && GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return WholeWriteResult::kExists;
  // A fresh name beside the target: the process id and a counter.
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring temporary;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(attempt) + L".tmp";
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return WholeWriteResult::kFailed;
  }
  if (handle == INVALID_HANDLE_VALUE) return WholeWriteResult::kFailed;
  bool written = true;
  for (size_t done = 0; written && done < size;) {
    DWORD count = 0;
    written = WriteFile(handle, bytes + done, static_cast<DWORD>(size - done), &count, nullptr) && count > 0;
    done += count;
  }
  written = FlushFileBuffers(handle) && written;
  written = CloseHandle(handle) && written;
  if (written) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
    if (MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0))) {
      return WholeWriteResult::kWritten;
    }
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? WholeWriteResult::kExists
                                                                        : WholeWriteResult::kFailed;
  }
  DeleteFileW(temporary.c_str());
  return WholeWriteResult::kFailed;
}

bool IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const char* path) { return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }
