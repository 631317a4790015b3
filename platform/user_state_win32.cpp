#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "platform/user_state.h"
#include "platform/wide_path_win32.h"

namespace {

std::wstring EnvironmentValue(const wchar_t* name) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    if (length < size) {
      value.resize(length);
      return value;
    }
  }
  return {};
}

// The user's security id as text ("S-1-5-21-..."), empty when Windows will not say.
std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::wstring text;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    LPWSTR sid = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      text = sid;
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return text;
}

}  // namespace

std::string DisplayStateFolder() {
  const std::wstring configured = EnvironmentValue(L"VELMORIN_STATE_DIR");
  if (!configured.empty()) return Utf8FromWide(configured.data(), configured.size());
  PWSTR folder = nullptr;
  const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
  std::string path;
  if (SUCCEEDED(found) && folder != nullptr) path = Utf8FromWide(folder, wcslen(folder));
  CoTaskMemFree(folder);  // also after a failure, as the reference asks
  return path.empty() ? path : path + "\\Velmorin";
}

std::string ComputerName() {
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::wstring name(size, L'\0');
    DWORD length = size;
    if (GetComputerNameExW(ComputerNamePhysicalDnsHostname, name.data(), &length)) {
      return Utf8FromWide(name.data(), length);
    }
    if (GetLastError() != ERROR_MORE_DATA) break;
    size = length;  // the size needed, with its NUL
  }
  return "";
}

CommandLockResult TakeCommandLock(int32_t wait_ms, CommandLock* lock, int32_t* error_code) {
  *error_code = 0;
  const std::wstring sid = UserSid();
  if (sid.empty()) {
    *error_code = static_cast<int32_t>(GetLastError());
    return CommandLockResult::kFailed;
  }
  // One name per user across the sessions of the machine: the saved layout
  // is the user's. A mutex whose holder died is handed on as abandoned.
  const std::wstring name = L"Global\\velmorin-display-" + sid;
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) {
    *error_code = static_cast<int32_t>(GetLastError());
    return CommandLockResult::kFailed;
  }
  const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait_ms < 0 ? 0 : wait_ms));
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    lock->handle = reinterpret_cast<intptr_t>(mutex);
    return CommandLockResult::kTaken;
  }
  const DWORD code = GetLastError();
  CloseHandle(mutex);
  if (waited == WAIT_TIMEOUT) return CommandLockResult::kBusy;
  *error_code = static_cast<int32_t>(code);
  return CommandLockResult::kFailed;
}

void ReleaseCommandLock(CommandLock lock) {
  const auto mutex = reinterpret_cast<HANDLE>(lock.handle);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}
