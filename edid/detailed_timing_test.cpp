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

namespace {

// 1920x1080 with the sync values of the test builder's Dtd(): 88/44 pixels,
// 4/5 lines, 528 x 265 mm, no borders, digital separate sync, both positive.
DetailedTiming Timing1080() {
  return DetailedTiming{14850, 1920, 280, 1080, 45, 88, 44, 4, 5, 528, 265, 0, 0, 0x1E};
}

// Deterministic bytes for the property loop (a plain linear congruential step).
uint8_t NextByte(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return static_cast<uint8_t>(state >> 24);
}

}  // namespace

TEST(DecodeDetailedTiming, ReadsEveryFieldFromItsBits) {
  // Byte 11 = 10 01 11 00: high bits of the horizontal offset (2) and width
  // (1), of the vertical offset (3) and width (0).
  const Bytes descriptor = {0x34, 0x12, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x12,
                            0x34, 0x56, 0x9C, 0x78, 0x9A, 0xBC, 0x03, 0x04, 0x1A};
  const DetailedTiming expected{0x1234, 1920, 280, 1080, 45, 0x212, 0x134, 0x35, 0x06, 0xB78, 0xC9A, 3, 4, 0x1A};
  EXPECT_EQ(DecodeDetailedTiming(descriptor.data()), expected);
  Bytes written(18, 0);
  ASSERT_TRUE(EncodeDetailedTiming(expected, written.data()));
  EXPECT_EQ(written, descriptor);
}

TEST(EncodeDetailedTiming, WritesTheBuilderBytesAndRoundTrips) {
  DetailedTiming widest{65535, 4095, 4095, 4095, 4095, 1023, 1023, 63, 63, 4095, 4095, 255, 255, 0xFF};
  DetailedTiming high_bits_only{256, 256, 512, 1024, 2048, 256, 512, 16, 32, 256, 2048, 128, 64, 0x80};
  const struct {
    const char* name;
    DetailedTiming timing;
  } cases[] = {
      {"1920x1080", Timing1080()},
      {"every field at its widest", widest},
      {"only the high bits of each split field", high_bits_only},
      {"smallest clock, all else zero", DetailedTiming{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"vertical sync offset 63, width 1",
       DetailedTiming{59400, 3840, 80, 2160, 62, 8, 32, 63, 1, 600, 340, 0, 0, 0x1A}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes descriptor(18, 0xAA);
    ASSERT_TRUE(EncodeDetailedTiming(c.timing, descriptor.data()));
    EXPECT_EQ(DecodeDetailedTiming(descriptor.data()), c.timing);
  }
  Bytes descriptor(18, 0xAA);
  ASSERT_TRUE(EncodeDetailedTiming(Timing1080(), descriptor.data()));
  EXPECT_EQ(descriptor, Dtd1080());  // bytes from the independent builder
}

TEST(EncodeDetailedTiming, RewritesAnyTimingDescriptorByteForByte) {
  uint32_t state = 12;
  for (int round = 0; round < 2000; ++round) {
    Bytes bytes(18);
    for (uint8_t& byte : bytes) byte = NextByte(state);
    if (bytes[0] == 0 && bytes[1] == 0) bytes[0] = 1;  // a display descriptor, not a timing
    Bytes written(18, 0);
    ASSERT_TRUE(EncodeDetailedTiming(DecodeDetailedTiming(bytes.data()), written.data())) << round;
    ASSERT_EQ(written, bytes) << round;
  }
}

TEST(EncodeDetailedTiming, RefusesFieldsWiderThanTheDescriptorAndWritesNothing) {
  const struct {
    const char* name;
    void (*spoil)(DetailedTiming&);
  } cases[] = {
      {"clock 655.36 MHz", [](DetailedTiming& t) { t.pixel_clock_10khz = 65536; }},
      {"clock 0", [](DetailedTiming& t) { t.pixel_clock_10khz = 0; }},
      {"negative clock", [](DetailedTiming& t) { t.pixel_clock_10khz = -1; }},
      {"4096 active pixels", [](DetailedTiming& t) { t.horizontal_active = 4096; }},
      {"4096 active lines", [](DetailedTiming& t) { t.vertical_active = 4096; }},
      {"horizontal blank 4096", [](DetailedTiming& t) { t.horizontal_blank = 4096; }},
      {"vertical blank 4096", [](DetailedTiming& t) { t.vertical_blank = 4096; }},
      {"negative vertical blank", [](DetailedTiming& t) { t.vertical_blank = -45; }},
      {"horizontal front porch 1024", [](DetailedTiming& t) { t.horizontal_sync_offset = 1024; }},
      {"horizontal sync 1024", [](DetailedTiming& t) { t.horizontal_sync_width = 1024; }},
      {"vertical front porch 64", [](DetailedTiming& t) { t.vertical_sync_offset = 64; }},
      {"vertical sync 64", [](DetailedTiming& t) { t.vertical_sync_width = 64; }},
      {"image width 4096 mm", [](DetailedTiming& t) { t.image_width_mm = 4096; }},
      {"image height 4096 mm", [](DetailedTiming& t) { t.image_height_mm = 4096; }},
      {"horizontal border 256", [](DetailedTiming& t) { t.horizontal_border = 256; }},
      {"vertical border -1", [](DetailedTiming& t) { t.vertical_border = -1; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DetailedTiming timing = Timing1080();
    c.spoil(timing);
    Bytes descriptor(18, 0xAA);
    EXPECT_FALSE(EncodeDetailedTiming(timing, descriptor.data()));
    EXPECT_EQ(descriptor, Bytes(18, 0xAA));
  }
}
