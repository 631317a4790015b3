// Reads the control window from outside, as a test sees it: a control's
// text, whether it is enabled, the displays list's rows. Windows only.
//
//   velmorin-control-probe text ID            the control's text
//   velmorin-control-probe enabled ID         1 or 0
//   velmorin-control-probe rows ID            one tab-separated line per row of a list view
//   velmorin-control-probe wait ID TEXT MS    waits until the text holds TEXT; prints it; 1 when it never did
//
// Ends with 2 when there is no window titled "Velmorin".
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

HWND FindControl(int id) {
  const HWND window = FindWindowW(L"#32770", L"Velmorin");
  return window == nullptr ? nullptr : GetDlgItem(window, id);
}

std::wstring TextOf(HWND control) {
  wchar_t text[4096] = {};
  // WM_GETTEXT is carried across processes by the system.
  SendMessageW(control, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text));
  return text;
}

void Print(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
}

// A list view's item texts live in the window's process: the request and
// its answer go through memory borrowed there.
int PrintRows(HWND list) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(list, &process_id);
  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
  if (process == nullptr) return 3;
  constexpr size_t kTextChars = 512;
  auto* remote = static_cast<uint8_t*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    std::wstring line;
    for (int column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.cchTextMax = kTextChars;
      item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
      wchar_t text[kTextChars] = {};
      ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t), nullptr);
      line += (column == 0 ? L"" : L"\t") + std::wstring(text);
    }
    Print(line);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring verb = argv[1];
  const int id = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  const HWND control = FindControl(id);
  if (verb == L"wait" && argc == 5) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(std::wcstol(argv[4], nullptr, 10));
    std::wstring text;
    for (;;) {
      const HWND found = FindControl(id);
      text = found != nullptr ? TextOf(found) : L"";
      if (text.find(argv[3]) != std::wstring::npos) break;
      if (static_cast<LONG>(GetTickCount() - end) >= 0) {
        Print(text);
        return 1;
      }
      Sleep(100);
    }
    Print(text);
    return 0;
  }
  if (control == nullptr) return 2;
  if (verb == L"text") {
    Print(TextOf(control));
  } else if (verb == L"enabled") {
    Print(IsWindowEnabled(control) ? L"1" : L"0");
  } else if (verb == L"rows") {
    return PrintRows(control);
  } else {
    return 2;
  }
  return 0;
}
