#include "edid/display_mode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

}  // namespace

TEST(ModeFromFileName, ReadsWidthHeightRefreshOrGivesTheDefaults) {
  const struct {
    const char* path;
    int32_t width, height, refresh;
  } cases[] = {
      {"D:\\edids\\3840x2160x60.bin", 3840, 2160, 60},
      {"3840x2160x60", 3840, 2160, 60},
      {"/tmp/edids/2560x1440x144.txt", 2560, 1440, 144},
      {"monitor.bin", 1920, 1080, 60},
      {"1280x720.bin", 1920, 1080, 60},
      {"1280X720X75.bin", 1920, 1080, 60},
      {"edid_2560x1440x144.bin", 1920, 1080, 60},
      {"1920x1080x60x75.bin", 1920, 1080, 60},
      {"2560x1440x144.5.bin", 2560, 1440, 144},
      {"1920 x1080x60.bin", 1920, 1080, 60},
      {"1920x 1080x60.bin", 1920, 1080, 60},
      {" \t\n640x\v480x\f\r75.bin", 640, 480, 75},
      {"640x480x", 1920, 1080, 60},
      {"640xx480x60", 1920, 1080, 60},
      {"0x0x0.bin", 0, 0, 0},
      {"-1x-1x-1.bin", -1, -1, -1},
      {"+5x+6x+7", 5, 6, 7},
      {"+x6x7", 1920, 1080, 60},
      {"- 5x6x7", 1920, 1080, 60},
      {"edids/sub\\1280x720x60.bin", 1280, 720, 60},
      {"edids\\sub/1280x720x60.bin", 1920, 1080, 60},
      {"edids\\", 1920, 1080, 60},
      {"edids/", 1920, 1080, 60},
      {"", 1920, 1080, 60},
      // Numbers beyond 32 bits saturate; leading zeros are not a large number.
      {"99999999999x1x1.bin", kMax, 1, 1},
      {"-99999999999x1x1.bin", kMin, 1, 1},
      {"2147483647x-2147483648x0", kMax, kMin, 0},
      {"2147483648x-2147483649x1", kMax, kMin, 1},
      {"1x1x99999999999999999999999999", 1, 1, kMax},
      {"0000000000000000000640x480x60", 640, 480, 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    DisplayMode mode{111, 222, 333};
    ModeFromFileName(c.path, mode);
    EXPECT_EQ(mode.width, c.width);
    EXPECT_EQ(mode.height, c.height);
    EXPECT_EQ(mode.refresh, c.refresh);
  }
}
