// The wide path spelling exists on Windows only.
#ifdef _WIN32

#include "platform/wide_path_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

TEST(NeedsLiteralPath, OnlyForPathsTheNarrowCallsWouldCutOrRewrite) {
  const struct {
    std::string path;
    bool needed;
  } cases[] = {
      {"Z:\\edid\\2560x1440x144.txt", false},
      {"Z:/edid/a.bin", false},
      {"edid\\a.bin", false},
      {"Z:\\edid\\\\a.bin", false},                 // a doubled separator is harmless
      {"Z:\\edid\\..\\edid\\.\\a.bin", false},       // so are "." and ".."
      {"Z:\\edid\\console.bin", false},              // CON only as the whole base name
      {"Z:\\edid\\COM10.bin", false},
      {"Z:\\edid\\.cache\\a.bin", false},
      {"Z:\\edid\\a.bin.", true},                    // a trailing dot is dropped
      {"Z:\\edid\\a.bin ", true},                    // and so is a trailing blank
      {"Z:\\sub.\\a.bin", true},                     // also inside the path
      {"Z:\\...\\a.bin", true},
      {"Z:\\edid\\CON", true},                       // devices, whatever the case or extension
      {"Z:\\edid\\nul.txt", true},
      {"Z:\\edid\\nul.txt.bin", true},
      {"Z:\\edid\\Aux", true},
      {"Z:\\edid\\COM1.bin", true},
      {"Z:\\edid\\lpt9", true},
      {"Z:\\edid\\PRN .txt", true},
      {"Z:\\edid\\CONOUT$", true},
      {"Z:\\CON\\a.bin", true},
      {"\\\\?\\Z:\\edid\\a.bin.", false},            // already literal
      {"//?/Z:/edid/a.bin", true},                   // literal too, but its slashes must turn
      {"Z:\\" + std::string(255, 'a'), false},       // 259 characters fit MAX_PATH
      {"Z:\\" + std::string(257, 'a'), true},
  };
  for (const auto& c : cases) EXPECT_EQ(NeedsLiteralPath(c.path), c.needed) << c.path;
}

TEST(LiteralPathFrom, AbsoluteResolvedNamesKept) {
  const std::wstring cwd = L"Z:\\work\\here";
  const struct {
    std::wstring path;
    std::wstring base;
    std::wstring literal;
  } cases[] = {
      {L"Z:\\edid\\a.bin", cwd, L"\\\\?\\Z:\\edid\\a.bin"},
      {L"Z:/edid//a.bin", cwd, L"\\\\?\\Z:\\edid\\a.bin"},
      {L"Z:\\edid\\\\*", cwd, L"\\\\?\\Z:\\edid\\*"},
      {L"Z:\\edid\\sub.\\a.bin.", cwd, L"\\\\?\\Z:\\edid\\sub.\\a.bin."},
      {L"Z:\\edid\\b.bin ", cwd, L"\\\\?\\Z:\\edid\\b.bin "},
      {L"Z:\\edid\\nul.txt", cwd, L"\\\\?\\Z:\\edid\\nul.txt"},
      {L"Z:\\edid\\...\\x", cwd, L"\\\\?\\Z:\\edid\\...\\x"},
      {L"Z:\\a\\.\\b\\..\\c", cwd, L"\\\\?\\Z:\\a\\c"},
      {L"Z:\\..\\..\\c", cwd, L"\\\\?\\Z:\\c"},      // ".." stops at the root
      {L"Z:\\", cwd, L"\\\\?\\Z:\\"},
      {L"edid\\CON", cwd, L"\\\\?\\Z:\\work\\here\\edid\\CON"},
      {L"..\\x.", cwd, L"\\\\?\\Z:\\work\\x."},
      {L"Z:edid\\a.bin", cwd, L"\\\\?\\Z:\\work\\here\\edid\\a.bin"},  // the drive's current folder
      {L"\\edid\\a.bin", L"Z:\\", L"\\\\?\\Z:\\edid\\a.bin"},           // the current drive's root
      {L"\\\\server\\share\\edid\\a.bin", cwd, L"\\\\?\\UNC\\server\\share\\edid\\a.bin"},
      {L"//server/share/x/../a.", cwd, L"\\\\?\\UNC\\server\\share\\a."},
      {L"\\\\server\\share\\..\\..\\a", cwd, L"\\\\?\\UNC\\server\\share\\a"},  // nor the share
      {L"\\\\?\\Z:\\a.", cwd, L"\\\\?\\Z:\\a."},
      {L"\\\\.\\pipe\\p", cwd, L"\\\\.\\pipe\\p"},
      {L"//?/Z:/dir/t.", cwd, L"\\\\?\\Z:\\dir\\t."},     // the same prefixes with forward slashes
      {L"\\\\./pipe/p", cwd, L"\\\\.\\pipe\\p"},
      {L"\\\\server", cwd, L""},                     // no share: nothing to stand on
      {L"edid\\a.bin", L"", L""},                    // no current folder
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LiteralPathFrom(c.path, c.base), c.literal) << std::string(c.path.begin(), c.path.end());
  }
}

TEST(WidenPath, RoundTripsTheActiveCodePage) {
  // The manifest makes the active code page UTF-8, so every name survives;
  // on a system that ignores it only the plain ASCII names would.
  const std::vector<std::string> names = {"a.bin", "\xD0\x9C\xD0\xBE\xD0\xBD\xD0\xB8\xD1\x82\xD0\xBE\xD1\x80",
                                          "\xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8", "\xC3\xA9\x63ran",
                                          "\xF0\x9F\x96\xA5\xEF\xB8\x8F"};
  for (const std::string& name : names) {
    const std::wstring wide = WidenPath(name);
    EXPECT_EQ(NarrowName(wide), name);
  }
  EXPECT_EQ(WidenPath("\xD0\x9C"), std::wstring(1, wchar_t{0x041C})) << "active code page " << GetACP();
}

#endif  // _WIN32
