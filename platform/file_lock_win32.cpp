#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "platform/file_lock.h"
#include "platform/wide_path_win32.h"

namespace {

HANDLE Handle(LockedFile file) { return reinterpret_cast<HANDLE>(file.handle); }

constexpr std::chrono::milliseconds kRetryPause{10};

}  // namespace

FileLockResult LockFileWithin(const char* path, bool create, int32_t wait_ms, LockedFile* file, int32_t* error_code) {
  const std::wstring wide = LiteralPath(path);
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error_code = static_cast<int32_t>(GetLastError());
    return FileLockResult::kFailed;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    OVERLAPPED whole{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
      file->handle = reinterpret_cast<intptr_t>(handle);
      return FileLockResult::kLocked;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
      *error_code = static_cast<int32_t>(code);
      CloseHandle(handle);
      return FileLockResult::kFailed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      CloseHandle(handle);
      return FileLockResult::kBusy;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}

bool ReadLockedFile(LockedFile file, std::string* text) {
  const HANDLE handle = Handle(file);
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) return false;
  std::string read;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) break;
    read.append(buffer, got);
  }
  *text = std::move(read);
  return true;
}

bool RewriteLockedFile(LockedFile file, const std::string& text) {
  const HANDLE handle = Handle(file);
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) return false;
  size_t done = 0;
  while (done < text.size()) {
    DWORD put = 0;
    const DWORD part = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
    if (!WriteFile(handle, text.data() + done, part, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return SetEndOfFile(handle) != FALSE;
}

void UnlockFile(LockedFile file) {
  const HANDLE handle = Handle(file);
  OVERLAPPED whole{};
  UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(handle);
}
