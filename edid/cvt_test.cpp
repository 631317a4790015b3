#include "edid/cvt.h"

#include <gtest/gtest.h>

#include <cstdint>

// Reference values from edid-decode --cvt; the sweep compares thousands more.
TEST(ComputeCvtTiming, MatchesTheReferenceToTheKilohertz) {
  const struct {
    int32_t width, height, refresh;
    int64_t clock_khz;
    int32_t v_front;
  } cases[] = {
      {1920, 1080, 60, 133320, 17},
      {2560, 1600, 165, 754459, 118},
      {640, 480, 24, 8553, 1},
      {7680, 4320, 60, 2068660, 109},
      // The product is exactly 429.590 MHz; the reference cuts it in double
      // precision and lands one kilohertz lower.
      {1170, 2102, 152, 429589, 145},
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
    int32_t width, height, refresh;
    int64_t clock_khz;
    int32_t v_sync, v_back;
  } cases[] = {
      {1920, 1080, 60, 138500, 5, 23},  // 16:9
      {1280, 1024, 75, 114500, 7, 27},  // 5:4
      {800, 600, 500, 374250, 4, 173},  // 4:3
      {1368, 768, 60, 72250, 10, 9},    // no standard aspect
      {640, 480, 24, 9250, 4, 7},       // the minimum 7-line back porch
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
