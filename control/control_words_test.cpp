#include "control/control_words.h"

#include <gtest/gtest.h>

TEST(RowWords, OneDisplayAsTheListShowsIt) {
  DisplayRecord ours{};
  ours.gdi_name = "\\\\.\\DISPLAY7";
  ours.monitor_name = "KovraMonitor";
  ours.active = true;
  ours.primary = true;
  ours.width = 2560;
  ours.height = 1440;
  ours.refresh = Rational{143973, 1000};
  ours.hdr_supported = true;
  DisplayRecord off{};
  off.device_path = "p";
  DisplayRecord unspecified = ours;
  unspecified.refresh = Rational{0, 0};
  unspecified.x = -1920;
  unspecified.primary = false;
  unspecified.hdr_supported = false;
  const struct {
    DisplayRecord record;
    std::vector<std::string> row;
    std::string mode;
  } cases[] = {
      {ours, {"\\\\.\\DISPLAY7", "KovraMonitor", "2560x1440 at 143.973 Hz", "0, 0", "yes", "off"}, "2560x1440x144"},
      {off, {"-", "-", "inactive", "-", "-", "no"}, ""},
      {unspecified, {"\\\\.\\DISPLAY7", "KovraMonitor", "2560x1440", "-1920, 0", "-", "no"}, "2560x1440x0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RowWords(c.record), c.row) << c.row[2];
    if (c.record.active) {
      EXPECT_EQ(ModeTextOf(c.record), c.mode);
    }
  }
}
