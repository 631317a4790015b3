// Decoding one 18-byte detailed timing descriptor.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/edid_image.h"

inline constexpr int32_t kDescriptorSize = 18;

// The refresh rate in whole hertz, rounded the way the listing has always
// shown it: clock and quotient through single precision, plus 0.4, truncated.
// A zero total gives 0.
int32_t RoundedRefresh(int64_t pixel_clock_hz, int32_t horizontal_total, int32_t vertical_total);

// Decodes `descriptor`, prints its Mode, frequency and dot clock lines to
// `out`, and returns (active width, active height, refresh).
TimingRecord DecodeDetailedTiming(const uint8_t* descriptor, std::FILE* out);
