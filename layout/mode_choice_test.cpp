#include "layout/mode_choice.h"

#include <gtest/gtest.h>

TEST(RefreshMatches, WithinHalfAHertzOfASpecifiedRate) {
  const struct {
    Rational refresh;
    double hz;
    bool matches;
  } cases[] = {{{143973, 1000}, 144, true}, {{60000, 1001}, 60, true}, {{121, 2}, 60, true}, {{119, 2}, 60, true},
               {{60501, 1000}, 60, false},  {{59, 1}, 60, false},      {{0, 0}, 0, false},    {{60, 0}, 60, false}};
  for (const auto& c : cases) EXPECT_EQ(RefreshMatches(c.refresh, c.hz), c.matches) << c.refresh.numerator;
}

TEST(ChooseOfferedMode, ListedWholeHertzStandForTheRatesCutToThem) {
  const std::vector<OfferedMode> offered = {
      {2560, 1440, 143}, {1920, 1080, 59}, {1920, 1080, 60}, {1280, 720, 61}, {800, 600, 56}};
  const struct {
    uint32_t width;
    uint32_t height;
    double hz;
    int32_t chosen;
  } cases[] = {
      {2560, 1440, 144, 0},  // 143.973 Hz, listed as 143
      {1920, 1080, 60, 2},   // 60 lists 60.000 to 60.999: closer than 59
      {1920, 1080, 59, 1},   {1280, 720, 60, -1},  // 61 is 61 Hz or more
      {800, 600, 60, -1},    {2560, 1600, 144, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseOfferedMode(offered, c.width, c.height, c.hz), c.chosen) << c.hz;
}
