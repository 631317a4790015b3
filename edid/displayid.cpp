#include "edid/displayid.h"

#include "bytes/little_endian.h"

namespace {

constexpr uint8_t kPreferredFlag = 0x80;
constexpr uint16_t kPositivePolarity = 0x8000;

struct AspectEntry {
  int32_t across;
  int32_t down;
  TypeSevenAspect code;
};

constexpr AspectEntry kAspects[] = {
    {1, 1, kAspect1x1},     {5, 4, kAspect5x4},     {4, 3, kAspect4x3},       {15, 9, kAspect15x9},
    {16, 9, kAspect16x9},   {16, 10, kAspect16x10}, {64, 27, kAspect64x27},   {256, 135, kAspect256x135},
};

TypeSevenAspect AspectOf(int32_t width, int32_t height) {
  for (const AspectEntry& entry : kAspects) {
    if (static_cast<int64_t>(width) * entry.down == static_cast<int64_t>(height) * entry.across) return entry.code;
  }
  return kAspectFromSize;
}

bool FitsField(int32_t value) { return value >= 1 && value <= kTypeSevenMaxField; }

}  // namespace

bool FitsTypeSevenTiming(const CvtTiming& timing) {
  return timing.pixel_clock_khz >= 1 && timing.pixel_clock_khz <= kTypeSevenMaxClockKhz &&
         FitsField(timing.h_active) && FitsField(HorizontalBlank(timing)) &&
         FitsField(timing.h_front) && FitsField(timing.h_sync) && FitsField(timing.v_active) &&
         FitsField(VerticalBlank(timing)) && FitsField(timing.v_front) &&
         FitsField(timing.v_sync);
}

void EncodeTypeSevenTiming(const CvtTiming& timing, bool preferred, uint8_t* out) {
  PutLe24(out, static_cast<uint32_t>(timing.pixel_clock_khz - 1));
  out[3] = static_cast<uint8_t>((preferred ? kPreferredFlag : 0) | AspectOf(timing.h_active, timing.v_active));
  PutLe16(out + 4, static_cast<uint32_t>(timing.h_active - 1));
  PutLe16(out + 6, static_cast<uint32_t>(HorizontalBlank(timing) - 1));
  PutLe16(out + 8, static_cast<uint32_t>(timing.h_front - 1) | kPositivePolarity);
  PutLe16(out + 10, static_cast<uint32_t>(timing.h_sync - 1));
  PutLe16(out + 12, static_cast<uint32_t>(timing.v_active - 1));
  PutLe16(out + 14, static_cast<uint32_t>(VerticalBlank(timing) - 1));
  PutLe16(out + 16, static_cast<uint32_t>(timing.v_front - 1));
  PutLe16(out + 18, static_cast<uint32_t>(timing.v_sync - 1));
}

bool FitsTypeTenTiming(int32_t width, int32_t height, int32_t refresh) {
  return width >= 1 && width <= kTypeTenMaxActive && height >= 1 && height <= kTypeTenMaxActive &&
         refresh >= 1 && refresh <= kTypeTenMaxRefresh;
}

void EncodeTypeTenTiming(int32_t width, int32_t height, int32_t refresh, uint8_t* out) {
  // Byte 0 also holds the YCbCr 4:2:0, early-vsync and alternative-rate flags: all clear.
  out[0] = kFormulaCvtReducedV2;
  PutLe16(out + 1, static_cast<uint32_t>(width - 1));
  PutLe16(out + 3, static_cast<uint32_t>(height - 1));
  out[5] = static_cast<uint8_t>(refresh - 1);
}
