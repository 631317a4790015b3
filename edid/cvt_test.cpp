#include "edid/cvt.h"

#include <gtest/gtest.h>

#include <cstdint>

// Reference values from edid-decode --cvt; the sweep compares thousands more.
TEST(ComputeCvtTiming, MatchesTheReferenceToTheKilohertz) {
  const struct {
    int64_t clock_khz;
    int32_t width, height, refresh, v_front;
  } cases[] = {
      {133320, 1920, 1080, 60, 17},
      {754459, 2560, 1600, 165, 118},
      {8553, 640, 480, 24, 1},
      {2068660, 7680, 4320, 60, 109},
      // The product is exactly 429.590 MHz; the reference cuts it in double
      // precision and lands one kilohertz lower.
      {429589, 1170, 2102, 152, 145},
  };
  for (const auto& c : cases) {
    CvtTiming t{};
    ASSERT_TRUE(ComputeCvtTiming(c.width, c.height, c.refresh, t)) << c.width << "x" << c.height;
    EXPECT_EQ(t.pixel_clock_khz, c.clock_khz) << c.width << "x" << c.height << "x" << c.refresh;
    EXPECT_EQ(t.v_front, c.v_front) << c.width << "x" << c.height << "x" << c.refresh;
    EXPECT_EQ(HorizontalTotal(t), c.width + 80);
    EXPECT_EQ(t.v_sync + t.v_back, 14);
  }
}

TEST(ComputeCvtTimingV1, MatchesTheReferenceSyncWidthsAndClockSteps) {
  const struct {
    int64_t clock_khz;
    int32_t width, height, refresh, v_sync, v_back;
  } cases[] = {
      {138500, 1920, 1080, 60, 5, 23},  // 16:9
      {114500, 1280, 1024, 75, 7, 27},  // 5:4
      {374250, 800, 600, 500, 4, 173},  // 4:3
      {72250, 1368, 768, 60, 10, 9},    // no standard aspect
      {9250, 640, 480, 24, 4, 7},       // the minimum 7-line back porch
  };
  for (const auto& c : cases) {
    CvtTiming t{};
    ASSERT_TRUE(ComputeCvtTimingV1(c.width, c.height, c.refresh, t)) << c.width << "x" << c.height;
    EXPECT_EQ(t.pixel_clock_khz, c.clock_khz) << c.width << "x" << c.height << "x" << c.refresh;
    EXPECT_EQ(t.v_sync, c.v_sync) << c.width << "x" << c.height;
    EXPECT_EQ(t.v_back, c.v_back) << c.width << "x" << c.height << "x" << c.refresh;
    EXPECT_EQ(t.v_front, 3);
  }
}

TEST(ComputeCvtTiming, RefusesWhatTheFormulaCannotAnswer) {
  CvtTiming t{};
  EXPECT_FALSE(ComputeCvtTiming(0, 1080, 60, t));
  EXPECT_FALSE(ComputeCvtTiming(1920, -1, 60, t));
  EXPECT_FALSE(ComputeCvtTiming(1920, 1080, 0, t));
  // A frame no longer than the 460 microsecond minimum blank.
  EXPECT_FALSE(ComputeCvtTiming(1920, 1080, 2174, t));
  // Version 1 keeps to the 8-pixel cell grid.
  EXPECT_FALSE(ComputeCvtTimingV1(1366, 768, 60, t));
}
