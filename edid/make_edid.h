// Composing a whole EDID (base block and one CTA-861 block) that describes a
// virtual monitor offering the given modes, the first one preferred.
#pragma once

#include <cstdint>

#include "edid/base_block.h"
#include "edid/cvt.h"
#include "edid/edid_image.h"

inline constexpr int32_t kMadeEdidSize = 256;
// More modes than this never fit in the two blocks: the smallest form takes 6 bytes.
inline constexpr int32_t kMaxMadeModes = 24;

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
  kModeNotDescribable,  // no form can carry the mode
  kNoStandIn,           // the first mode needs a stand-in in the base block, and none exists
  kTooManyModes,        // the modes do not all fit in 256 bytes
  kNoFormLeft,          // the descriptors are taken and no other form may carry the mode
};

// Why no form can carry a mode, or kNone.
enum class ModeProblem {
  kNone,
  kNoTiming,        // the timing formula has no answer
  kTooLarge,        // beyond a Type VII timing's fields or clock
  kRefreshInexact,  // no timing a form holds lies within 0.05 % of the asked refresh
  kClockTooLow,     // below a descriptor's 10 MHz, and above the 256 Hz of a Type X timing
};

// How a mode is carried, in the order of preference. The first three are
// 18-byte detailed timing descriptors, which every EDID reader reads.
enum class TimingForm {
  kReducedV2,   // reduced blanking v2, its clock rounded to the descriptor's 10 kHz step
  kReducedV1,   // reduced blanking v1 as the formula gives it
  kFittedV2,    // v2's horizontal timing and sync, the longest front porch that fits
  kTypeSeven,   // a CTA-861 Type VII timing of v2: for what no descriptor can hold
  kTypeTen,     // a CTA-861 Type X timing: the reader computes v2 itself
};

bool IsDescriptorForm(TimingForm form);

// What MakeEdid did: on success, how each mode is carried, and the
// timing that readers of the base block alone see first.
struct MakeEdidResult {
  MakeEdidStatus status;
  int32_t mode_index;  // the offending mode, or how many modes fit
  TimingForm forms[kMaxMadeModes];
  DisplayMode base_first;  // the first mode, or its stand-in
};

struct DescribedMode {
  CvtTiming timing;  // as stored; for a Type X timing, the v2 timing its reader computes
  DisplayMode mode;
  TimingForm form;
};

// Finds the first form that carries `mode` within 0.05 % of its refresh:
// reduced blanking v2 in a descriptor (clock rounded to 10 kHz); v1 in a
// descriptor; when neither fits one but the active size does, v2's
// horizontal timing with vertical sync 8, back porch 6 and the longest
// front porch up to 63 lines that keeps the clock within 655.35 MHz; v2
// as a Type VII timing when no descriptor can hold the mode (CTA-861 allows
// Type VII for nothing else); a Type X timing (up to 256 Hz) otherwise.
ModeProblem DescribeMode(const DisplayMode& mode, DescribedMode& described);

// True when an 18-byte detailed timing descriptor holds `timing` exactly.
bool FitsDetailedTiming(const CvtTiming& timing);

// The first mode's stand-in in the base block's first descriptor, for when
// no descriptor holds the mode itself: its sides times the largest of 8/8,
// 7/8 ... 1/8, 1/16, 1/32 ... (to the nearest pixel) that a descriptor
// holds at 60 Hz, or, for a size too small for a descriptor's 10 MHz at
// 60 Hz, at the lowest rate up to 510 Hz at which one does. False when
// there is none.
bool StandInTiming(const DisplayMode& mode, CvtTiming& timing);

// The serial number: a hash of everything in the request that shapes the EDID.
uint32_t RequestSerial(const EdidRequest& request);

// Writes the 256 bytes. Two modes in descriptors go in the base block and
// at most four in the CTA-861 block (the report reads four there); a further
// one takes a Type X timing, or above 256 Hz a Type VII timing where CTA-861
// allows one. On failure `edid` holds nothing of use.
MakeEdidResult MakeEdid(const EdidRequest& request, uint8_t (&edid)[kMadeEdidSize]);
