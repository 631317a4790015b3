#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/wide_path_win32.h"

namespace {

constexpr UINT kPostedMessage = WM_APP + 1;
constexpr UINT kShownMessage = WM_APP + 2;
constexpr int32_t kAskEditId = 100;
constexpr int32_t kAskLabelId = 101;

std::atomic<HWND> dialog_window{nullptr};
const DialogEvents* dialog_events = nullptr;
const DialogLayout* dialog_layout = nullptr;

// A dialog template built in memory: DLGTEMPLATEEX and its items, as the
// dialog manager reads them.
struct TemplateBytes {
  std::vector<uint8_t> bytes;
};

void PutWord(TemplateBytes& t, uint16_t value) {
  t.bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  t.bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutDword(TemplateBytes& t, uint32_t value) {
  PutWord(t, static_cast<uint16_t>(value & 0xFFFF));
  PutWord(t, static_cast<uint16_t>(value >> 16));
}

void PutText(TemplateBytes& t, const std::wstring& text) {
  for (const wchar_t c : text) PutWord(t, static_cast<uint16_t>(c));
  PutWord(t, 0);
}

void AlignDword(TemplateBytes& t) {
  while (t.bytes.size() % 4 != 0) t.bytes.push_back(0);
}

// The system's message font: its face and its size in points.
void MessageFont(std::wstring* face, uint16_t* points) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  *face = L"Segoe UI";
  *points = 9;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return;
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  const LONG height = metrics.lfMessageFont.lfHeight < 0 ? -metrics.lfMessageFont.lfHeight : metrics.lfMessageFont.lfHeight;
  if (height > 0 && dpi > 0) *points = static_cast<uint16_t>(MulDiv(height, 72, dpi));
  if (metrics.lfMessageFont.lfFaceName[0] != L'\0') *face = metrics.lfMessageFont.lfFaceName;
}

void PutHeader(TemplateBytes& t, const wchar_t* title, uint16_t items, int16_t width, int16_t height) {
  PutWord(t, 1);       // dlgVer
  PutWord(t, 0xFFFF);  // signature: an extended template
  PutDword(t, 0);      // helpID
  PutDword(t, WS_EX_CONTROLPARENT);
  PutDword(t, DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  PutWord(t, items);
  PutWord(t, 0);  // x
  PutWord(t, 0);  // y
  PutWord(t, static_cast<uint16_t>(width));
  PutWord(t, static_cast<uint16_t>(height));
  PutWord(t, 0);  // no menu
  PutWord(t, 0);  // the dialog class
  PutText(t, title);
  std::wstring face;
  uint16_t points = 9;
  MessageFont(&face, &points);
  PutWord(t, points);
  PutWord(t, FW_NORMAL);
  t.bytes.push_back(0);  // italic
  t.bytes.push_back(DEFAULT_CHARSET);
  PutText(t, face);
}

void PutItem(TemplateBytes& t, const wchar_t* window_class, const std::wstring& text, uint32_t style, uint32_t ex_style,
             int32_t id, int16_t x, int16_t y, int16_t width, int16_t height) {
  AlignDword(t);
  PutDword(t, 0);  // helpID
  PutDword(t, ex_style);
  PutDword(t, style | WS_CHILD);
  PutWord(t, static_cast<uint16_t>(x));
  PutWord(t, static_cast<uint16_t>(y));
  PutWord(t, static_cast<uint16_t>(width));
  PutWord(t, static_cast<uint16_t>(height));
  PutDword(t, static_cast<uint32_t>(id));
  PutText(t, window_class);
  PutText(t, text);
  PutWord(t, 0);  // no creation data
}

void PutControl(TemplateBytes& t, const ControlLayout& c) {
  const uint32_t group = c.starts_group ? WS_GROUP : 0;
  const std::wstring text = WideFromUtf8(c.text != nullptr ? c.text : "");
  switch (c.kind) {
    case ControlKind::kLabel:
      PutItem(t, L"STATIC", text, WS_VISIBLE | SS_LEFT | group, 0, c.id, c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kText:
      // Device paths hold '&': shown as they are.
      PutItem(t, L"STATIC", text, WS_VISIBLE | SS_LEFT | SS_NOPREFIX | group, 0, c.id, c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kEditCombo:
      PutItem(t, L"COMBOBOX", text, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | group, 0,
              c.id, c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kCheck:
      PutItem(t, L"BUTTON", text, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | group, 0, c.id, c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kRadio:
      PutItem(t, L"BUTTON", text, WS_VISIBLE | BS_AUTORADIOBUTTON | (c.starts_group ? WS_GROUP | WS_TABSTOP : 0), 0,
              c.id, c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kButton:
    case ControlKind::kDefaultButton:
      PutItem(t, L"BUTTON", text,
              WS_VISIBLE | WS_TABSTOP | group | (c.kind == ControlKind::kDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
              0, c.id, c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kList:
      PutItem(t, WC_LISTVIEWW, text,
              WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | group, 0, c.id,
              c.x, c.y, c.width, c.height);
      return;
    case ControlKind::kProgress:
      PutItem(t, PROGRESS_CLASSW, text, PBS_MARQUEE | group, 0, c.id, c.x, c.y, c.width, c.height);
      return;
  }
}

HWND Control(int32_t id) { return GetDlgItem(dialog_window.load(), id); }

const ControlLayout* LayoutOf(int32_t id) {
  for (size_t i = 0; dialog_layout != nullptr && i < dialog_layout->control_count; ++i) {
    if (dialog_layout->controls[i].id == id) return &dialog_layout->controls[i];
  }
  return nullptr;
}

int16_t PixelsFromDialogUnits(int16_t units) {
  RECT rect{0, 0, units, 0};
  MapDialogRect(dialog_window.load(), &rect);
  return static_cast<int16_t>(rect.right);
}

// Where a list's context menu opens from the keyboard: under its selected row.
void MenuPointOfRow(HWND list, int32_t row, int32_t* x, int32_t* y) {
  RECT rect{};
  rect.left = LVIR_LABEL;
  if (row < 0 || SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect)) == 0) {
    GetClientRect(list, &rect);
    rect.bottom = rect.top;
  }
  POINT point{rect.left, rect.bottom};
  ClientToScreen(list, &point);
  *x = point.x;
  *y = point.y;
}

void AskForMenu(HWND from, LPARAM where) {
  const int32_t id = GetDlgCtrlID(from);
  const ControlLayout* control = LayoutOf(id);
  if (control == nullptr || control->kind != ControlKind::kList || dialog_events->list_menu == nullptr) return;
  int32_t x = static_cast<int16_t>(LOWORD(where));
  int32_t y = static_cast<int16_t>(HIWORD(where));
  int32_t row = -1;
  if (x == -1 && y == -1) {
    row = static_cast<int32_t>(SendMessageW(from, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    MenuPointOfRow(from, row, &x, &y);
  } else {
    LVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    ScreenToClient(from, &hit.pt);
    row = static_cast<int32_t>(SendMessageW(from, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row >= 0) {
      LVITEMW item{};
      item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      item.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(from, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
  }
  dialog_events->list_menu(dialog_events->context, id, row, x, y);
}

void AskToClose(HWND window) {
  if (dialog_events->may_close == nullptr || dialog_events->may_close(dialog_events->context)) EndDialog(window, 0);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      dialog_window = window;
      for (size_t i = 0; i < dialog_layout->control_count; ++i) {
        const ControlLayout& c = dialog_layout->controls[i];
        if (c.kind == ControlKind::kDefaultButton) SendMessageW(window, DM_SETDEFID, static_cast<WPARAM>(c.id), 0);
        if (c.kind == ControlKind::kList) {
          const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
          SendMessageW(Control(c.id), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        }
      }
      PostMessageW(window, kShownMessage, 0, 0);
      return TRUE;  // the first Tab stop takes the focus
    case kShownMessage:
      if (dialog_events->shown != nullptr) dialog_events->shown(dialog_events->context);
      return TRUE;
    case WM_COMMAND: {
      const auto id = static_cast<int32_t>(LOWORD(wparam));
      const UINT code = HIWORD(wparam);
      if (id == IDCANCEL) {
        AskToClose(window);
        return TRUE;
      }
      const ControlLayout* control = LayoutOf(id);
      if (control == nullptr) return FALSE;
      if (control->kind == ControlKind::kEditCombo) {
        if ((code == CBN_EDITCHANGE || code == CBN_SELCHANGE) && dialog_events->edited != nullptr) {
          dialog_events->edited(dialog_events->context, id);
        }
        return TRUE;
      }
      // Enter comes as the default button's id with no notification code.
      if ((code == BN_CLICKED) && dialog_events->command != nullptr && IsWindowEnabled(Control(id))) {
        dialog_events->command(dialog_events->context, id);
      }
      return TRUE;
    }
    case WM_CLOSE:
      AskToClose(window);
      return TRUE;
    case WM_CONTEXTMENU:
      AskForMenu(reinterpret_cast<HWND>(wparam), lparam);
      return TRUE;
    case WM_DISPLAYCHANGE:
      if (dialog_events->display_changed != nullptr) dialog_events->display_changed(dialog_events->context);
      return TRUE;
    case kPostedMessage:
      if (dialog_events->posted != nullptr) dialog_events->posted(dialog_events->context, reinterpret_cast<void*>(lparam));
      return TRUE;
    case WM_DESTROY:
      dialog_window = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

struct Asked {
  std::wstring prompt;
  std::wstring text;
};

INT_PTR CALLBACK AskProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* asked = reinterpret_cast<Asked*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(window, DWLP_USER, lparam);
      asked = reinterpret_cast<Asked*>(lparam);
      SetDlgItemTextW(window, kAskLabelId, asked->prompt.c_str());
      SetDlgItemTextW(window, kAskEditId, asked->text.c_str());
      SendDlgItemMessageW(window, kAskEditId, EM_SETSEL, 0, -1);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        const int length = GetWindowTextLengthW(GetDlgItem(window, kAskEditId));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        GetDlgItemTextW(window, kAskEditId, text.data(), length + 1);
        text.resize(static_cast<size_t>(length));
        asked->text = text;
        EndDialog(window, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(window, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool RunDialog(const DialogLayout& layout, const DialogEvents& events) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  TemplateBytes t;
  PutHeader(t, WideFromUtf8(layout.title).c_str(), static_cast<uint16_t>(layout.control_count), layout.width, layout.height);
  for (size_t i = 0; i < layout.control_count; ++i) PutControl(t, layout.controls[i]);
  AlignDword(t);
  dialog_layout = &layout;
  dialog_events = &events;
  const INT_PTR ended = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                                reinterpret_cast<const DLGTEMPLATE*>(t.bytes.data()), nullptr,
                                                DialogProc, 0);
  dialog_window = nullptr;
  return ended != -1;
}

void SetControlText(int32_t id, const std::string& text) { SetWindowTextW(Control(id), WideFromUtf8(text).c_str()); }

std::string ControlText(int32_t id) {
  const HWND control = Control(id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(control, text.data(), length + 1);
  return Utf8FromWide(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void EnableControl(int32_t id, bool enabled) {
  const HWND control = Control(id);
  // A disabled control with the focus would take the keyboard with it (Esc and Tab too).
  if (!enabled && GetFocus() == control) SendMessageW(dialog_window.load(), WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(control, enabled ? TRUE : FALSE);
}

void CheckControl(int32_t id, bool checked) {
  SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsControlChecked(int32_t id) { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetComboItems(int32_t id, const std::vector<std::string>& items) {
  const HWND combo = Control(id);
  const std::string kept = ControlText(id);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items) {
    const std::wstring wide = WideFromUtf8(item);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  SetControlText(id, kept);
}

void SetListColumns(int32_t id, const std::vector<ListColumn>& columns) {
  const HWND list = Control(id);
  for (size_t i = 0; i < columns.size(); ++i) {
    std::wstring title = WideFromUtf8(columns[i].title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = title.data();
    column.cx = PixelsFromDialogUnits(columns[i].width);
    column.iSubItem = static_cast<int>(i);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void SetListRows(int32_t id, const std::vector<std::vector<std::string>>& rows) {
  const HWND list = Control(id);
  const auto selected = static_cast<int32_t>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      std::wstring text = WideFromUtf8(rows[r][c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = static_cast<int>(c);
      item.pszText = text.data();
      SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : r, reinterpret_cast<LPARAM>(&item));
    }
  }
  if (selected >= 0 && static_cast<size_t>(selected) < rows.size()) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void ShowMarquee(int32_t id, bool running) {
  const HWND bar = Control(id);
  SendMessageW(bar, PBM_SETMARQUEE, running ? TRUE : FALSE, 30);
  ShowWindow(bar, running ? SW_SHOWNA : SW_HIDE);
}

int32_t ShowMenu(const std::vector<std::string>& items, int32_t x, int32_t y) {
  const HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return -1;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING, i + 1, WideFromUtf8(items[i]).c_str());
    }
  }
  const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, dialog_window.load(), nullptr);
  DestroyMenu(menu);
  return chosen > 0 ? static_cast<int32_t>(chosen) - 1 : -1;
}

bool AskText(const std::string& title, const std::string& prompt, std::string* text) {
  TemplateBytes t;
  PutHeader(t, WideFromUtf8(title).c_str(), 4, 180, 62);
  PutItem(t, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, kAskLabelId, 7, 7, 166, 10);
  PutItem(t, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0, kAskEditId, 7, 20, 166, 14);
  PutItem(t, L"BUTTON", L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, 69, 41, 50, 14);
  PutItem(t, L"BUTTON", L"Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, 123, 41, 50, 14);
  AlignDword(t);
  Asked asked{WideFromUtf8(prompt), WideFromUtf8(*text)};
  const INT_PTR ended =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.bytes.data()),
                              dialog_window.load(), AskProc, reinterpret_cast<LPARAM>(&asked));
  if (ended != IDOK) return false;
  *text = Utf8FromWide(asked.text.data(), asked.text.size());
  return true;
}

void CloseDialog() {
  const HWND window = dialog_window.load();
  if (window != nullptr) EndDialog(window, 0);
}

bool PostToDialog(void* message) {
  const HWND window = dialog_window.load();
  return window != nullptr && PostMessageW(window, kPostedMessage, 0, reinterpret_cast<LPARAM>(message)) != FALSE;
}
