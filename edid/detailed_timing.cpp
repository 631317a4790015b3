#include "edid/detailed_timing.h"

#include "bytes/little_endian.h"
#include "edid/bits.h"

namespace {

// Byte offsets within the descriptor.
constexpr int32_t kClockOffset = 0;
constexpr int32_t kHorizontalActiveOffset = 2;
constexpr int32_t kHorizontalBlankOffset = 3;
constexpr int32_t kHorizontalHighOffset = 4;
constexpr int32_t kVerticalActiveOffset = 5;
constexpr int32_t kVerticalBlankOffset = 6;
constexpr int32_t kVerticalHighOffset = 7;
constexpr int32_t kHorizontalSyncOffsetOffset = 8;
constexpr int32_t kHorizontalSyncWidthOffset = 9;
constexpr int32_t kVerticalSyncOffset = 10;
constexpr int32_t kSyncHighOffset = 11;
constexpr int32_t kImageWidthOffset = 12;
constexpr int32_t kImageHeightOffset = 13;
constexpr int32_t kImageSizeHighOffset = 14;
constexpr int32_t kHorizontalBorderOffset = 15;
constexpr int32_t kVerticalBorderOffset = 16;
constexpr int32_t kFlagsOffset = 17;

// A field split into a low byte and high bits, bits hi..lo of another byte.
int32_t Join(uint8_t low, uint8_t high_byte, int hi, int lo) {
  return low | static_cast<int32_t>(GetBits(high_byte, hi, lo) << 8);
}

void Split(int32_t value, uint8_t& low, uint8_t& high_byte, int hi, int lo) {
  low = static_cast<uint8_t>(value & 0xFF);
  SetBits(high_byte, hi, lo, value >> 8);
}

}  // namespace

int32_t RoundedRefresh(int64_t pixel_clock_hz, int32_t horizontal_total, int32_t vertical_total) {
  if (horizontal_total == 0 || vertical_total == 0) return 0;
  const double clock = static_cast<double>(static_cast<float>(pixel_clock_hz));
  const double quotient =
      clock / (static_cast<double>(horizontal_total) * static_cast<double>(vertical_total));
  // The 0.4 lifts 59.94, 29.97 and 23.976 Hz to 60, 30 and 24.
  return static_cast<int32_t>(static_cast<double>(static_cast<float>(quotient)) + 0.4);
}

DetailedTiming DecodeDetailedTiming(const uint8_t* descriptor) {
  const uint8_t* d = descriptor;
  const uint8_t sync_low = d[kVerticalSyncOffset];
  const uint8_t sync_high = d[kSyncHighOffset];
  DetailedTiming timing{};
  timing.pixel_clock_10khz = static_cast<int32_t>(GetLe16(d + kClockOffset));
  timing.horizontal_active = Join(d[kHorizontalActiveOffset], d[kHorizontalHighOffset], 7, 4);
  timing.horizontal_blank = Join(d[kHorizontalBlankOffset], d[kHorizontalHighOffset], 3, 0);
  timing.vertical_active = Join(d[kVerticalActiveOffset], d[kVerticalHighOffset], 7, 4);
  timing.vertical_blank = Join(d[kVerticalBlankOffset], d[kVerticalHighOffset], 3, 0);
  timing.horizontal_sync_offset = Join(d[kHorizontalSyncOffsetOffset], sync_high, 7, 6);
  timing.horizontal_sync_width = Join(d[kHorizontalSyncWidthOffset], sync_high, 5, 4);
  // The vertical sync fields are 4 low bits in one byte and 2 high bits in the next.
  timing.vertical_sync_offset =
      static_cast<int32_t>(GetBits(sync_low, 7, 4) | (GetBits(sync_high, 3, 2) << 4));
  timing.vertical_sync_width = static_cast<int32_t>(GetBits(sync_low, 3, 0) | (GetBits(sync_high, 1, 0) << 4));
  timing.image_width_mm = Join(d[kImageWidthOffset], d[kImageSizeHighOffset], 7, 4);
  timing.image_height_mm = Join(d[kImageHeightOffset], d[kImageSizeHighOffset], 3, 0);
  timing.horizontal_border = d[kHorizontalBorderOffset];
  timing.vertical_border = d[kVerticalBorderOffset];
  timing.flags = d[kFlagsOffset];
  return timing;
}

bool EncodeDetailedTiming(const DetailedTiming& timing, uint8_t* descriptor) {
  const DetailedTiming& t = timing;
  const bool fits = t.pixel_clock_10khz > 0 && FitsBits(t.pixel_clock_10khz, kPixelClockBits) &&
                    FitsBits(t.horizontal_active, kActiveBits) && FitsBits(t.vertical_active, kActiveBits) &&
                    FitsBits(t.horizontal_blank, kBlankBits) && FitsBits(t.vertical_blank, kBlankBits) &&
                    FitsBits(t.horizontal_sync_offset, kHorizontalSyncBits) &&
                    FitsBits(t.horizontal_sync_width, kHorizontalSyncBits) &&
                    FitsBits(t.vertical_sync_offset, kVerticalSyncBits) &&
                    FitsBits(t.vertical_sync_width, kVerticalSyncBits) &&
                    FitsBits(t.image_width_mm, kImageSizeBits) && FitsBits(t.image_height_mm, kImageSizeBits) &&
                    FitsBits(t.horizontal_border, kBorderBits) && FitsBits(t.vertical_border, kBorderBits);
  if (!fits) return false;

  // Built whole before any byte of the caller's is touched.
  uint8_t d[kDescriptorSize] = {};
  PutLe16(d + kClockOffset, static_cast<uint32_t>(t.pixel_clock_10khz));
  Split(t.horizontal_active, d[kHorizontalActiveOffset], d[kHorizontalHighOffset], 7, 4);
  Split(t.horizontal_blank, d[kHorizontalBlankOffset], d[kHorizontalHighOffset], 3, 0);
  Split(t.vertical_active, d[kVerticalActiveOffset], d[kVerticalHighOffset], 7, 4);
  Split(t.vertical_blank, d[kVerticalBlankOffset], d[kVerticalHighOffset], 3, 0);
  Split(t.horizontal_sync_offset, d[kHorizontalSyncOffsetOffset], d[kSyncHighOffset], 7, 6);
  Split(t.horizontal_sync_width, d[kHorizontalSyncWidthOffset], d[kSyncHighOffset], 5, 4);
  SetBits(d[kVerticalSyncOffset], 7, 4, t.vertical_sync_offset & 0x0F);
  SetBits(d[kVerticalSyncOffset], 3, 0, t.vertical_sync_width & 0x0F);
  SetBits(d[kSyncHighOffset], 3, 2, t.vertical_sync_offset >> 4);
  SetBits(d[kSyncHighOffset], 1, 0, t.vertical_sync_width >> 4);
  Split(t.image_width_mm, d[kImageWidthOffset], d[kImageSizeHighOffset], 7, 4);
  Split(t.image_height_mm, d[kImageHeightOffset], d[kImageSizeHighOffset], 3, 0);
  d[kHorizontalBorderOffset] = static_cast<uint8_t>(t.horizontal_border);
  d[kVerticalBorderOffset] = static_cast<uint8_t>(t.vertical_border);
  d[kFlagsOffset] = t.flags;
  for (int32_t i = 0; i < kDescriptorSize; ++i) descriptor[i] = d[i];
  return true;
}

TimingRecord SummarizeDetailedTiming(const DetailedTiming& timing) {
  return TimingRecord{timing.horizontal_active, timing.vertical_active,
                      RoundedRefresh(static_cast<int64_t>(timing.pixel_clock_10khz) * 10000,
                                     timing.horizontal_active + timing.horizontal_blank,
                                     timing.vertical_active + timing.vertical_blank)};
}

void PrintDetailedTiming(const DetailedTiming& timing, std::FILE* out) {
  const int32_t horizontal_total = timing.horizontal_active + timing.horizontal_blank;
  const int32_t vertical_total = timing.vertical_active + timing.vertical_blank;
  // The printed frequencies use the exact clock; a zero total prints as infinite.
  const double clock = timing.pixel_clock_10khz * 10000;
  const double vfreq = clock / static_cast<double>(horizontal_total * vertical_total);
  const double hfreq = clock / static_cast<double>(horizontal_total * 1000);
  std::fprintf(out, "\tMode \t\"%dx%d\"", timing.horizontal_active, timing.vertical_active);
  std::fprintf(out, "\t# vfreq %3.3fHz, hfreq %6.3fkHz\n", vfreq, hfreq);
  std::fprintf(out, "\t\tDotClock\t%f\n", clock / 1000000.0);
}

TimingRecord DecodeDetailedTiming(const uint8_t* descriptor, std::FILE* out) {
  const DetailedTiming timing = DecodeDetailedTiming(descriptor);
  PrintDetailedTiming(timing, out);
  return SummarizeDetailedTiming(timing);
}
