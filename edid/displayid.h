// DisplayID 2.0 timings as CTA-861 carries them: Type VII detailed timings,
// 20 bytes that hold what an 18-byte detailed timing descriptor cannot (more
// than 4095 active pixels or lines, clocks above 655.35 MHz, 1 kHz steps),
// and Type X formula timings, 6 bytes that name a VESA CVT formula, a size
// and a refresh rate and leave the timing to the reader's own calculation.
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

inline constexpr int32_t kTypeTenTimingSize = 6;
// A 6-byte Type X timing stores the refresh rate less one in a byte.
inline constexpr int32_t kTypeTenMaxRefresh = 256;
inline constexpr int32_t kTypeTenMaxActive = 1 << 16;

// The formula codes of a Type X timing.
enum TypeTenFormula : uint8_t {
  kFormulaCvtStandard = 0,
  kFormulaCvtReducedV1 = 1,
  kFormulaCvtReducedV2 = 2,
  kFormulaCvtReducedV3 = 3,
};

// True when a 6-byte Type X timing holds this size and rate.
bool FitsTypeTenTiming(int32_t width, int32_t height, int32_t refresh);

// Writes the 6 bytes of a Type X timing for the reduced-blanking v2 formula.
void EncodeTypeTenTiming(int32_t width, int32_t height, int32_t refresh, uint8_t* out);
