#include "platform/wide_path_win32.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:" at the start, with or without a separator after it.
bool StartsWithDrive(const std::wstring& path) { return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':'; }

bool StartsWithUnc(const std::wstring& path) { return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]); }

bool IsAbsolute(const std::wstring& path) {
  return StartsWithUnc(path) || (StartsWithDrive(path) && path.size() >= 3 && IsSeparator(path[2]));
}

// \\?\ or \\.\, also spelled with forward slashes.
template <typename Text>
bool IsAlreadyLiteral(Text path) {
  return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
         IsSeparator(path[3]);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, whatever the case,
// also with an extension or blanks before it (nul.txt, "AUX .bin").
bool IsReservedDeviceName(std::string_view name) {
  std::string base;
  for (const char c : name.substr(0, name.find('.'))) base += Upper(c);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const std::string_view reserved : kNames) {
    if (base == reserved) return true;
  }
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '0' && base[3] <= '9';
}

// A name the narrow calls would change: a trailing dot or blank, or a device.
bool IsAlteredName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.back() == '.' || name.back() == ' ' || IsReservedDeviceName(name);
}

std::wstring FullPathOf(const wchar_t* path) {
  const DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(path, size, full.data(), nullptr);
  if (written == 0 || written >= size) return {};
  full.resize(written);
  return full;
}

// Splits `text` at separators, dropping empty names and ".", and letting ".."
// take back the name before it (never the root).
void AppendNames(std::wstring_view text, std::vector<std::wstring>& names) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    const std::wstring_view name = text.substr(start, end - start);
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != L".") {
      names.emplace_back(name);
    }
    start = end + 1;
  }
}

}  // namespace

std::wstring WidenPath(const std::string& path) {
  if (path.empty()) return {};
  const int size = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
  return wide;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string converted(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), converted.data(), size, nullptr, nullptr);
  return converted;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring converted(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(), size);
  return converted;
}

std::string NarrowName(const std::wstring& name) {
  if (name.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), narrow.data(), size, nullptr, nullptr);
  return narrow;
}

bool NeedsLiteralPath(const std::string& path) {
  if (path.size() >= MAX_PATH) return true;
  // Inside a literal path "/" is no separator: one written with forward slashes needs them turned.
  if (IsAlreadyLiteral(std::string_view(path))) return path.find('/') != std::string::npos;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (IsAlteredName(std::string_view(path).substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

std::wstring LiteralPathFrom(const std::wstring& path, const std::wstring& base) {
  if (IsAlreadyLiteral(std::wstring_view(path))) {
    std::wstring literal = path;
    std::replace(literal.begin(), literal.end(), L'/', L'\\');
    return literal;
  }
  std::wstring absolute;
  if (IsAbsolute(path)) {
    absolute = path;
  } else if (StartsWithDrive(path)) {
    absolute = base + L"\\" + path.substr(2);
  } else if (!path.empty() && IsSeparator(path[0])) {
    absolute = base + path;
  } else {
    absolute = base + L"\\" + path;
  }
  if (!IsAbsolute(absolute)) return {};

  std::wstring root;
  std::vector<std::wstring> names;
  if (StartsWithUnc(absolute)) {
    // The server and the share form the root that ".." cannot leave.
    std::wstring_view rest = std::wstring_view(absolute).substr(2);
    std::wstring root_names[2];
    for (std::wstring& name : root_names) {
      const size_t end = std::min(rest.size(), rest.find_first_of(L"\\/"));
      name = rest.substr(0, end);
      rest = rest.substr(std::min(rest.size(), end + 1));
      if (name.empty() || name == L"." || name == L"..") return {};
    }
    root = L"\\\\?\\UNC\\" + root_names[0] + L"\\" + root_names[1];
    AppendNames(rest, names);
  } else {
    root = L"\\\\?\\" + absolute.substr(0, 2);
    AppendNames(std::wstring_view(absolute).substr(3), names);
  }
  std::wstring literal = root;
  for (const std::wstring& name : names) literal += L"\\" + name;
  if (names.empty()) literal += L"\\";
  return literal;
}

std::wstring LiteralPath(const std::string& path) {
  const std::wstring wide = WidenPath(path);
  if (wide.empty() || IsAlreadyLiteral(std::wstring_view(wide)) || IsAbsolute(wide)) return LiteralPathFrom(wide, {});
  std::wstring base;
  if (StartsWithDrive(wide)) {
    base = FullPathOf(wide.substr(0, 2).c_str());
  } else if (IsSeparator(wide[0])) {
    base = FullPathOf(L"\\");
  } else {
    base = FullPathOf(L".");
  }
  return LiteralPathFrom(wide, base);
}
