// DisplayID 2.0 Type VII detailed timings: 20 bytes that carry what an
// 18-byte detailed timing descriptor cannot (more than 4095 active pixels or
// lines, long vertical front porches, clocks above 655.35 MHz, 1 kHz steps).
#pragma once

#include <cstdint>

#include "edid/cvt.h"

inline constexpr int32_t kTypeSevenTimingSize = 20;

// Every field of a Type VII timing is stored less one.
inline constexpr int64_t kTypeSevenMaxClockKhz = 1 << 24;
inline constexpr int32_t kTypeSevenMaxField = 1 << 15;

// Aspect ratio codes of the timing options byte; kAspectFromSize says "work
// it out from the active sizes".
enum TypeSevenAspect : uint8_t {
  kAspect1x1 = 0,
  kAspect5x4 = 1,
  kAspect4x3 = 2,
  kAspect15x9 = 3,
  kAspect16x9 = 4,
  kAspect16x10 = 5,
  kAspect64x27 = 6,
  kAspect256x135 = 7,
  kAspectFromSize = 8,
};

// True when every field of `timing` fits a Type VII timing.
bool FitsTypeSevenTiming(const CvtTiming& timing);

// Writes the 20 bytes of `timing`; `preferred` sets the preferred flag.
// The timing must fit (FitsTypeSevenTiming).
void EncodeTypeSevenTiming(const CvtTiming& timing, bool preferred, uint8_t* out);
