#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

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

// \\.\NAME or \\?\NAME, the same devices under either prefix: a device
// itself (NUL, COM1, a volume or a disk) rather than a file on one; a pipe,
// pipe\NAME, too.
bool HasDevicePrefix(const std::wstring& literal) {
  return literal.size() > 4 && (literal.rfind(L"\\\\.\\", 0) == 0 || literal.rfind(L"\\\\?\\", 0) == 0);
}

bool IsPipePath(const std::wstring& literal) {
  return HasDevicePrefix(literal) && _wcsnicmp(literal.c_str() + 4, L"pipe\\", 5) == 0;
}

bool IsDevicePath(const std::wstring& literal) {
  return HasDevicePrefix(literal) && (literal.find(L'\\', 4) == std::wstring::npos || IsPipePath(literal));
}

// Whether a server offers the pipe, asked without connecting to it: an open,
// even without access, would take one of its instances as a client.
bool PipeIsServed(const std::wstring& literal) {
  const std::wstring name = L"\\\\.\\" + literal.substr(4);
  return WaitNamedPipeW(name.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT;  // served, every instance busy
}

// The answers that mean nothing is there.
bool MeansMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_NETPATH ||
         error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_DRIVE;
}

// The system's words for `error`, without the closing full stop.
std::string SystemReason(DWORD error) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!reason.empty() && std::strchr("\r\n .", reason.back()) != nullptr) reason.pop_back();
  return reason.empty() ? "error " + std::to_string(error) : reason;
}

// A name that is taken although opening it finds nothing: a symbolic link to
// nothing. Windows lists the link itself; Wine, which shows no Unix link to
// nothing to Windows programs, finds the name but ends the search empty.
bool IsLinkToNothing(const std::wstring& literal) {
  if (literal.find_first_of(L"*?", 4) != std::wstring::npos) return false;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(literal.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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
  bool written = WriteAll(handle, bytes, size);
  const DWORD error = GetLastError();
  written = CloseHandle(handle) && written;
  if (written) return WholeWriteResult::kWritten;
  return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ? WholeWriteResult::kReaderGone
                                                              : WholeWriteResult::kFailed;
}

// A file marked for deletion goes with its last handle, however the process
// ends: a Ctrl+C, a closed window or a crash leaves nothing half written.
bool MarkForDeletion(HANDLE handle, bool doomed) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(doomed)};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Writes all of `bytes` into a file this process made, flushed to the disk,
// marked for deletion until then.
bool FillNewFile(HANDLE handle, const uint8_t* bytes, size_t size) {
  return MarkForDeletion(handle, true) && WriteAll(handle, bytes, size) && FlushFileBuffers(handle) &&
         MarkForDeletion(handle, false);
}

// Renamed through its handle, so that the file is never closed, nor left
// behind, between its last byte and its final name.
bool RenameOpenFile(HANDLE handle, const std::wstring& target, bool replace) {
  const size_t name_bytes = target.size() * sizeof(wchar_t);
  std::vector<uint64_t> buffer((offsetof(FILE_RENAME_INFO, FileName) + name_bytes + sizeof(wchar_t) + 7) / 8);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = static_cast<BOOLEAN>(replace);
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(rename->FileName, target.c_str(), name_bytes + sizeof(wchar_t));
  return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size() * 8)) != FALSE;
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
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return WholeWriteResult::kFailed;
  }
  if (handle == INVALID_HANDLE_VALUE) return WholeWriteResult::kFailed;
  // Without ReplaceIfExists the rename fails when the target exists.
  if (FillNewFile(handle, bytes, size) && RenameOpenFile(handle, target, replace)) {
    CloseHandle(handle);
    return WholeWriteResult::kWritten;
  }
  const DWORD error = GetLastError();
  const bool doomed = MarkForDeletion(handle, true);
  CloseHandle(handle);
  if (!doomed) DeleteFileW(temporary.c_str());
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? WholeWriteResult::kExists
                                                                      : WholeWriteResult::kFailed;
}

// `literal` is a symbolic link to nothing: the system follows it and makes
// the file it names. Sets `appeared` when something else stands there by
// now: anything but an empty file, the only thing this open can have made.
// (Wine reports every such open as of an existing file.)
WholeWriteResult WriteThroughLink(const std::wstring& literal, const uint8_t* bytes, size_t size, bool* appeared) {
  const HANDLE handle =
      CreateFileW(literal.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return WholeWriteResult::kFailed;
  DWORD attributes = 0;
  LARGE_INTEGER file_size{};
  if (!IsDiskFile(handle, &attributes) || !GetFileSizeEx(handle, &file_size) || file_size.QuadPart != 0) {
    CloseHandle(handle);
    *appeared = true;
    return WholeWriteResult::kExists;
  }
  const bool written = FillNewFile(handle, bytes, size);
  if (!written) MarkForDeletion(handle, true);
  CloseHandle(handle);
  return written ? WholeWriteResult::kWritten : WholeWriteResult::kFailed;
}

WholeWrite WriteToPath(const std::wstring& literal, const uint8_t* bytes, size_t size, bool replace, int retries) {
  const bool device = IsDevicePath(literal);
  if (IsPipePath(literal)) {
    if (!PipeIsServed(literal)) return {WholeWriteResult::kFailed, ""};
    return {replace ? WriteStream(literal, bytes, size) : WholeWriteResult::kStreamExists, ""};
  }
  // Looked at without any access, which opens no device for use.
  const HANDLE handle = CreateFileW(literal.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_CANT_RESOLVE_FILENAME) return {WholeWriteResult::kLinkLoop, ""};
    if (device) return {WholeWriteResult::kFailed, ""};
    if (!MeansMissing(error)) return {WholeWriteResult::kUnseen, SystemReason(error)};
    if (!IsLinkToNothing(literal)) return {WriteFileAtomically(literal, bytes, size, replace), ""};
    bool appeared = false;
    const WholeWriteResult result = WriteThroughLink(literal, bytes, size, &appeared);
    if (appeared && replace && retries > 0) return WriteToPath(literal, bytes, size, replace, retries - 1);
    return {result, ""};
  }
  const DWORD type = GetFileType(handle);
  BY_HANDLE_FILE_INFORMATION information{};
  const bool folder = type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information) &&
                      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::wstring target = FinalPathOf(handle, literal);
  CloseHandle(handle);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    return {replace ? WriteStream(literal, bytes, size) : WholeWriteResult::kStreamExists, ""};
  }
  if (device) return {WholeWriteResult::kDisk, ""};
  if (folder) return {WholeWriteResult::kNotAFile, ""};
  return {WriteFileAtomically(target, bytes, size, replace), ""};
}

}  // namespace

WholeWrite WriteWholeFile(const char* path, const uint8_t* bytes, size_t size, bool replace) {
  const std::wstring literal = LiteralPath(path);
  if (literal.empty()) return {WholeWriteResult::kFailed, ""};
  return WriteToPath(literal, bytes, size, replace, 1);
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

bool RemoveFile(const char* path) {
  const std::wstring literal = LiteralPath(path);
  return !literal.empty() && (DeleteFileW(literal.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
}
