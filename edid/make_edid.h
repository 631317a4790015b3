// Composing a whole EDID (base block and one CTA-861 block) that describes a
// virtual monitor offering the given modes, the first one preferred.
#pragma once

#include <cstdint>

#include "edid/base_block.h"
#include "edid/cvt.h"
#include "edid/edid_image.h"

inline constexpr int32_t kMadeEdidSize = 256;

// The highest refresh and line rates the range limits descriptor can state.
inline constexpr int32_t kMaxRangeRefreshHz = 510;
inline constexpr int32_t kMaxRangeLineRateKhz = 510;
// How far a timing's real refresh may stray from the one asked for.
inline constexpr double kMaxRefreshError = 0.0005;

struct EdidRequest {
  const DisplayMode* modes;
  int32_t mode_count;
  bool hdr;    // HDR static metadata, BT.2020 colorimetry, 10 bits per colour
  bool audio;  // basic audio, 2-channel LPCM, speaker allocation
  char name[kMaxMonitorNameLength + 1];
  int32_t width_mm;  // physical image size
  int32_t height_mm;
};

enum class MakeEdidStatus {
  kMade,
  kModeNotDescribable,  // no timing descriptor can carry the mode
  kTooManyModes,        // the modes do not all fit in 256 bytes
};

struct MakeEdidResult {
  MakeEdidStatus status;
  int32_t mode_index;  // the offending mode, or how many modes fit
};

// Why a mode cannot be described, or kNone.
enum class ModeProblem {
  kNone,
  kNoTiming,            // the timing formula has no answer
  kTooLarge,            // beyond a Type VII timing's fields or clock
  kRefreshTooHigh,      // beyond the range limits descriptor
  kLineRateOutOfRange,  // below 1 kHz or beyond 510 kHz
  kRefreshInexact,      // no timing that fits lies within 0.05 % of the asked refresh
  kClockTooLow,         // a detailed timing below 10 MHz reads as an unused descriptor
};

// How a mode is carried, in the order of preference.
enum class TimingForm {
  kDetailed,      // an 18-byte descriptor: read by every EDID reader
  kTypeSeven,     // a CTA-861 Type VII timing: beyond what a descriptor holds
  kTypeTen,       // a CTA-861 Type X timing: the reader computes it by formula
};

struct DescribedMode {
  DisplayMode mode;
  CvtTiming timing;  // as stored (a Type X timing stores only the mode)
  TimingForm form;
  int32_t reduced_blanking;  // 1 or 2: the formula version of `timing`
};

// Finds how `mode` is carried: reduced blanking v2 in an 18-byte descriptor
// when its clock falls on the descriptor's 10 kHz step and its front porch
// fits; otherwise a Type VII timing when the mode is beyond a descriptor's
// sizes or clock (CTA-861 allows Type VII for nothing else); otherwise
// reduced blanking v1 in a descriptor when within 0.05 %; otherwise a Type X
// timing (up to 256 Hz). Every timing is exactly what the formula gives.
ModeProblem DescribeMode(const DisplayMode& mode, DescribedMode& described);

// True when an 18-byte detailed timing descriptor holds `timing` exactly.
bool FitsDetailedTiming(const CvtTiming& timing);

// The serial number: a hash of everything in the request that shapes the EDID.
uint32_t RequestSerial(const EdidRequest& request);

// Writes the 256 bytes. On failure `edid` holds nothing of use.
MakeEdidResult MakeEdid(const EdidRequest& request, uint8_t (&edid)[kMadeEdidSize]);
