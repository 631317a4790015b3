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

bool WriteAll(HANDLE handle, const uint8_t* bytes, size_t size) {
  bool written = true;
  for (size_t done = 0; written && done < size;) {
    DWORD count = 0;
    written = WriteFile(handle, bytes + done, static_cast<DWORD>(size - done), &count, nullptr) && count > 0;
    done += count;
  }
  return written;
}

// \\.\NAME: a device itself (NUL, COM1, a volume or a disk) rather than a
// file on one; \\.\pipe\NAME too.
bool IsDevicePath(const std::wstring& literal) {
  if (literal.rfind(L"\\\\.\\", 0) != 0) return false;
  const std::wstring name = literal.substr(4);
  return name.find(L'\\') == std::wstring::npos || _wcsnicmp(name.c_str(), L"pipe\\", 5) == 0;
}

// The path of the open file, links followed; `fallback` when the system cannot say.
std::wstring FinalPathOf(HANDLE handle, const std::wstring& fallback) {
  const DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return fallback;
  std::wstring path(size, L'\0');
  const DWORD written = GetFinalPathNameByHandleW(handle, path.data(), size, FILE_NAME_NORMALIZED);
  if (written == 0 || written >= size) return fallback;
  path.resize(written);
  return path;
}

WholeWriteResult WriteStream(const std::wstring& literal, const uint8_t* bytes, size_t size) {
  const HANDLE handle = CreateFileW(literal.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return WholeWriteResult::kFailed;
  const bool written = WriteAll(handle, bytes, size);
  return CloseHandle(handle) && written ? WholeWriteResult::kWritten : WholeWriteResult::kFailed;
}

WholeWriteResult WriteFileAtomically(const std::wstring& target, const uint8_t* bytes, size_t size, bool replace) {
  if (!replace && GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return WholeWriteResult::kExists;
  // A short name of its own beside the target, so that a target name of any
  // legal length fits: the process id and a counter.
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring temporary;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = folder + L"velmorin-edid-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(attempt) + L".tmp";
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return WholeWriteResult::kFailed;
  }
  if (handle == INVALID_HANDLE_VALUE) return WholeWriteResult::kFailed;
  bool written = WriteAll(handle, bytes, size);
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

}  // namespace

WholeWriteResult WriteWholeFile(const char* path, const uint8_t* bytes, size_t size, bool replace) {
  const std::wstring literal = LiteralPath(path);
  if (literal.empty()) return WholeWriteResult::kFailed;
  // Looked at without any access, which opens neither a device nor a pipe for use.
  const bool device = IsDevicePath(literal);
  const HANDLE handle = CreateFileW(literal.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_CANT_RESOLVE_FILENAME) return WholeWriteResult::kLinkLoop;
    return device ? WholeWriteResult::kFailed : WriteFileAtomically(literal, bytes, size, replace);
  }
  const DWORD type = GetFileType(handle);
  BY_HANDLE_FILE_INFORMATION information{};
  const bool folder = type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information) &&
                      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::wstring target = FinalPathOf(handle, literal);
  CloseHandle(handle);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    return replace ? WriteStream(literal, bytes, size) : WholeWriteResult::kStreamExists;
  }
  if (device) return WholeWriteResult::kDisk;
  if (folder) return WholeWriteResult::kNotAFile;
  return WriteFileAtomically(target, bytes, size, replace);
}

bool MakeFolders(const char* path) {
  const std::wstring literal = LiteralPath(path);
  if (literal.empty()) return false;
  // Each folder below the root: past the prefix and the drive, or the
  // server of \\?\UNC\ (its share is the first folder tried).
  const size_t root = literal.find(L'\\', literal.rfind(L"\\\\?\\UNC\\", 0) == 0 ? 8 : 4);
  size_t cut = root == std::wstring::npos ? root : literal.find(L'\\', root + 1);
  while (cut != std::wstring::npos) {
    const std::wstring above = literal.substr(0, cut);
    cut = literal.find(L'\\', cut + 1);
    const DWORD attributes = GetFileAttributesW(above.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(above.c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesW(literal.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(literal.c_str(), nullptr);
  return IsFolder(path);
}

bool IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesW(LiteralPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const char* path) { return GetFileAttributesW(LiteralPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }
