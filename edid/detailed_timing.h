// One 18-byte detailed timing descriptor: its decoded record, read from and
// written to the descriptor bytes, and the report's three lines about it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/edid_image.h"

inline constexpr int32_t kDescriptorSize = 18;

// Widths of the descriptor's fields, in bits.
inline constexpr int kPixelClockBits = 16;
inline constexpr int kActiveBits = 12;
inline constexpr int kBlankBits = 12;
inline constexpr int kHorizontalSyncBits = 10;  // offset and width alike
inline constexpr int kVerticalSyncBits = 6;     // offset and width alike
inline constexpr int kImageSizeBits = 12;
inline constexpr int kBorderBits = 8;

// Byte 17, the flags.
inline constexpr uint8_t kTimingInterlaced = 0x80;
inline constexpr uint8_t kTimingDigitalSeparateSync = 0x18;  // bits 4-3
inline constexpr uint8_t kTimingVerticalSyncPositive = 0x04;  // with digital separate sync
inline constexpr uint8_t kTimingHorizontalSyncPositive = 0x02;

// Every field of a detailed timing descriptor, in the descriptor's units.
struct DetailedTiming {
  int32_t pixel_clock_10khz;  // 1..65535; 0 makes the bytes a display descriptor
  int32_t horizontal_active;
  int32_t horizontal_blank;
  int32_t vertical_active;
  int32_t vertical_blank;
  int32_t horizontal_sync_offset;  // front porch, pixels
  int32_t horizontal_sync_width;
  int32_t vertical_sync_offset;  // front porch, lines
  int32_t vertical_sync_width;
  int32_t image_width_mm;
  int32_t image_height_mm;
  int32_t horizontal_border;
  int32_t vertical_border;
  uint8_t flags;  // byte 17 as it stands

  bool operator==(const DetailedTiming&) const = default;
};

// The refresh rate in whole hertz, rounded the way the listing has always
// shown it: clock and quotient through single precision, plus 0.4, truncated.
// A zero total gives 0.
int32_t RoundedRefresh(int64_t pixel_clock_hz, int32_t horizontal_total, int32_t vertical_total);

DetailedTiming DecodeDetailedTiming(const uint8_t* descriptor);  // kDescriptorSize bytes

// Writes all kDescriptorSize bytes of `descriptor`. Refuses, writing nothing,
// a negative field, one wider than the descriptor holds, or a zero clock.
bool EncodeDetailedTiming(const DetailedTiming& timing, uint8_t* descriptor);

// (active width, active height, rounded refresh): what the driver is told.
TimingRecord SummarizeDetailedTiming(const DetailedTiming& timing);

// Prints the Mode, frequency and dot clock lines of the report.
void PrintDetailedTiming(const DetailedTiming& timing, std::FILE* out);

// Decode, Print and Summarize in one call, as one report step.
TimingRecord DecodeDetailedTiming(const uint8_t* descriptor, std::FILE* out);
