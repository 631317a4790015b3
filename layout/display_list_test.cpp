#include "layout/display_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/desk_builder.h"

using desk::Desk;
using desk::DevicePath;
using desk::kOff;

namespace {

std::string Describe(const std::vector<DisplayRecord>& records) {
  std::string text;
  for (const DisplayRecord& r : records) {
    text += (text.empty() ? "" : " | ") + desk::TagOf(r.device_path) + " " + r.gdi_name + (r.active ? " on" : " off") +
            (r.primary ? " primary " : " ") + std::to_string(r.width) + "x" + std::to_string(r.height) + "@" +
            std::to_string(r.x) + "," + std::to_string(r.y) + " " + FormatRefresh(r.refresh) +
            (IsOurs(r) ? " ours" : "");
  }
  return text;
}

}  // namespace

TEST(ListDisplays, OneRecordPerAvailableTargetFromItsFirstPath) {
  EXPECT_EQ(Describe(ListDisplays(desk::WineDesk(true))),
            "\\\\?\\DISPLAY#Default_Monitor#0000&0000#{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7} \\\\.\\DISPLAY1 on "
            "primary 1024x768@0,0 60.000 | \\\\?\\DISPLAY#Default_Monitor#0001&0000#{E6F07B5F-EE97-4A90-B076-"
            "33F57BF4EAA7} \\\\.\\DISPLAY2 on 0x0@0,0 unspecified");
  // Each target has four paths here; an inactive one has no name, place or mode.
  DisplayConfig config = Desk({{"A", false, 0, -1920, 0, 1920, 1080}, {"N", true, 1, 0, 0, 2560, 1440, {143973, 1000}},
                               {"M", true, kOff}});
  config.paths[1].refresh = {144, 1};  // Windows runs the target mode's rate
  config.paths.push_back(config.paths.back());
  config.paths.back().target_id = 9;
  config.paths.back().target_available = false;
  EXPECT_EQ(Describe(ListDisplays(config)),
            "A \\\\.\\DISPLAY1 on 1920x1080@-1920,0 60.000 | N \\\\.\\DISPLAY2 on primary 2560x1440@0,0 143.973 ours | "
            "M  off 0x0@0,0 unspecified ours");
  EXPECT_EQ(CountOurs(ListDisplays(config)), 2);
}

TEST(FormatRefresh, ThreeDecimalsOrUnspecified) {
  const struct {
    Rational refresh;
    const char* text;
  } cases[] = {{{60, 1}, "60.000"},   {{143973, 1000}, "143.973"}, {{60000, 1001}, "59.940"},
               {{2, 3}, "0.667"},     {{4294967295u, 1}, "4294967295.000"},
               {{0, 0}, "unspecified"}, {{0, 1}, "unspecified"}, {{60, 0}, "unspecified"}};
  for (const auto& c : cases) EXPECT_EQ(FormatRefresh(c.refresh), c.text) << c.text;
}

TEST(FindDisplay, GdiNameItsNumberOrDevicePath) {
  const std::vector<DisplayRecord> records =
      ListDisplays(Desk({{"A", false, 0, 0, 0, 1920, 1080}, {"N", true, 1, 1920, 0, 1920, 1080}, {"M", true, kOff}}));
  const struct {
    std::string which;
    int32_t found;
  } cases[] = {{"\\\\.\\DISPLAY2", 1}, {"\\\\.\\display2", 1}, {"2", 1}, {"1", 0}, {DevicePath("M"), 2},
               {"\\\\?\\display#kvr0000#m#{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}", 2}, {"3", -1}, {"02", -1},
               {"DISPLAY2", -1}, {"", -1}, {DevicePath("X"), -1}};
  for (const auto& c : cases) EXPECT_EQ(FindDisplay(records, c.which), c.found) << c.which;
}

TEST(FindNewDisplay, OursNotListedBeforeTheActiveOneFirst) {
  using S = desk::Screen;
  const S a = {"A", false, 0, 0, 0, 1920, 1080};
  const S n1 = {"N1", true, 1, 1920, 0, 1920, 1080};
  const S n2 = {"N2", true, 2, 3840, 0, 1920, 1080};
  const struct {
    const char* name;
    std::vector<S> after;
    const char* found;  // its tag, or "" for none
  } cases[] = {
      {"a third of ours among two", {a, n1, {"N3", true, kOff}, n2}, "N3"},
      {"the active one of two new", {a, n1, n2, {"N3", true, kOff}, {"N4", true, 3}}, "N4"},
      {"a new monitor not ours", {a, n1, n2, {"B", false, 3}}, ""},
      {"the same ones, names renumbered", {n2, n1, a}, ""},
      {"one of ours gone", {a, n1}, ""},
  };
  const std::vector<DisplayRecord> before = ListDisplays(Desk({a, n1, n2}));
  for (const auto& c : cases) {
    std::vector<DisplayRecord> after = ListDisplays(Desk(c.after));
    std::reverse(after.begin(), after.end());  // in any order
    const int32_t found = FindNewDisplay(before, after);
    EXPECT_EQ(found < 0 ? "" : desk::TagOf(after[static_cast<size_t>(found)].device_path), c.found) << c.name;
  }
}
