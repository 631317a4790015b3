#include "edid/detailed_timing.h"

#include <gtest/gtest.h>

#include "tests/unit/test_support.h"

using namespace test_support;

TEST(DecodeDetailedTiming, PrintsThreeLinesAndReturnsTheRecord) {
  const struct {
    const char* name;
    Bytes bytes;  // bytes 0-7; the rest of the descriptor is ordinary sync data
    const char* lines;
    int32_t width, height, refresh;
  } cases[] = {
      {"1920x1080 at 148.5 MHz", {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40},
       "\tMode \t\"1920x1080\"\t# vfreq 60.000Hz, hfreq 67.500kHz\n\t\tDotClock\t148.500000\n", 1920, 1080, 60},
      {"148.35 MHz lifts 59.939 to 60", {0xF3, 0x39, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40},
       "\tMode \t\"1920x1080\"\t# vfreq 59.939Hz, hfreq 67.432kHz\n\t\tDotClock\t148.350000\n", 1920, 1080, 60},
      {"1280x720 at 74.25 MHz", {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20},
       "\tMode \t\"1280x720\"\t# vfreq 60.000Hz, hfreq 45.000kHz\n\t\tDotClock\t74.250000\n", 1280, 720, 60},
      // 655.35 MHz is 655350016 in single precision, which tips 3104.5999 to 3105.
      {"clock FF FF", {0xFF, 0xFF, 0xC8, 0x02, 0x00, 0xE8, 0x2D, 0x30},
       "\tMode \t\"200x1000\"\t# vfreq 3104.600Hz, hfreq 3244.307kHz\n\t\tDotClock\t655.350000\n", 200, 1000, 3105},
      // 33.6 Hz is 33.599998 in single precision: 33, where double precision gives 34.
      {"single-precision quotient", {0xD8, 0x09, 0x20, 0xC8, 0x30, 0x58, 0x96, 0x20},
       "\tMode \t\"800x600\"\t# vfreq 33.600Hz, hfreq 25.200kHz\n\t\tDotClock\t25.200000\n", 800, 600, 33},
      {"hfreq below 10 kHz is padded", {0x64, 0x00, 0xA0, 0x28, 0x00, 0x50, 0x14, 0x00},
       "\tMode \t\"160x80\"\t# vfreq 50.000Hz, hfreq  5.000kHz\n\t\tDotClock\t1.000000\n", 160, 80, 50},
      {"every high nibble set", {0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       "\tMode \t\"4095x4095\"\t# vfreq 0.695Hz, hfreq  5.690kHz\n\t\tDotClock\t46.600000\n", 4095, 4095, 1},
      {"zero horizontal total", {0x02, 0x3A, 0x00, 0x00, 0x00, 0x38, 0x2D, 0x40},
       "\tMode \t\"0x1080\"\t# vfreq infHz, hfreq    infkHz\n\t\tDotClock\t148.500000\n", 0, 1080, 0},
      {"zero vertical total", {0x02, 0x3A, 0x80, 0x18, 0x71, 0x00, 0x00, 0x00},
       "\tMode \t\"1920x0\"\t# vfreq infHz, hfreq 67.500kHz\n\t\tDotClock\t148.500000\n", 1920, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes descriptor = Dtd1080();
    std::copy(c.bytes.begin(), c.bytes.end(), descriptor.begin());
    const Bytes before = descriptor;
    CapturedConsole capture;
    const TimingRecord record = DecodeDetailedTiming(descriptor.data(), capture.out);
    EXPECT_EQ(capture.Out(), c.lines);
    EXPECT_EQ(record.width, c.width);
    EXPECT_EQ(record.height, c.height);
    EXPECT_EQ(record.refresh, c.refresh);
    EXPECT_EQ(descriptor, before);
  }
}

TEST(RoundedRefresh, SinglePrecisionPlusFourTenthsTruncated) {
  const struct {
    int64_t clock;
    int32_t h_total, v_total;
    int32_t refresh;
  } cases[] = {
      {148500000, 2200, 1125, 60}, {148350000, 2200, 1125, 60},
      {5994, 100, 1, 60},          {2997, 100, 1, 30},           {23976, 1000, 1, 24},
      {745, 10, 1, 74},            {746, 10, 1, 74},  // 74.6 is 74.599998 in single precision
      {595, 10, 1, 59},            {596, 10, 1, 59},  // and 59.6 is 59.599998
      {597, 10, 1, 60},            {25200000, 1000, 750, 33},
      {655350000, 202, 1045, 3105},  // from the single-precision clock, not 3104
      {148500000, 0, 1125, 0},     {148500000, 2200, 0, 0},      {0, 2200, 1125, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundedRefresh(c.clock, c.h_total, c.v_total), c.refresh)
        << c.clock << " / (" << c.h_total << " x " << c.v_total << ")";
  }
}
