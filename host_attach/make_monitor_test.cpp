#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_attach/host_attach.h"

TEST(DescribePlacement, SaysWhereEachModeWentAndWhatTheBaseBlockShows) {
  const struct {
    std::vector<DisplayMode> modes;
    std::string said;
  } cases[] = {
      {{{2560, 1600, 165}},
       "2560x1600 at 165 Hz as a DisplayID timing (readers of the base block see 2560x1600 at 60 Hz)"},
      {{{1920, 1080, 60}, {3840, 2160, 240}},
       "1920x1080 at 60 Hz as a detailed timing; 3840x2160 at 240 Hz as a DisplayID timing"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> texts;
    for (const DisplayMode& m : c.modes) {
      texts.push_back(std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.refresh));
    }
    std::vector<const char*> text_pointers;
    for (const std::string& t : texts) text_pointers.push_back(t.c_str());
    MonitorOrder order{};
    order.modes = c.modes.data();
    order.mode_texts = text_pointers.data();
    order.mode_count = static_cast<int32_t>(c.modes.size());
    order.name = "KovraMonitor";
    uint8_t edid[kMadeEdidSize];
    MakeEdidResult made{};
    ASSERT_EQ(MakeMonitorEdid(order, edid, made), "");
    EXPECT_EQ(DescribePlacement(order, made), c.said);
  }
}
