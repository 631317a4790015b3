// The EDID base block: header, checksum, descriptors, range limits and the
// identity patch.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/edid_image.h"

// Offsets within the base block.
inline constexpr int32_t kVersionOffset = 18;
inline constexpr int32_t kRevisionOffset = 19;
inline constexpr int32_t kFeatureSupportOffset = 24;
inline constexpr int32_t kDescriptorOffsets[4] = {54, 72, 90, 108};
inline constexpr int32_t kExtensionCountOffset = 126;
inline constexpr int32_t kChecksumOffset = 127;

// Byte 0 of an extension block: which standard the block follows.
enum ExtensionBlockTag : uint8_t {
  kCtaExtensionTag = 0x02,
  kVideoTimingExtensionTag = 0x10,
  kDisplayInformationExtensionTag = 0x40,
  kLocalizedStringExtensionTag = 0x50,
  kDigitalPacketVideoLinkExtensionTag = 0x60,
  kDisplayIdExtensionTag = 0x70,
  kBlockMapExtensionTag = 0xF0,
  kManufacturerExtensionTag = 0xFF,
};

// What ClassifyDescriptor answers besides a display descriptor's tag.
inline constexpr int kDetailedTimingDescriptor = -2;
inline constexpr int kUnknownDescriptor = -1;
inline constexpr int kMonitorNameTag = 0xFC;
inline constexpr int kRangeLimitsTag = 0xFD;

inline constexpr char kIdentityName[] = "KovraMonitor";

// -2 for a detailed timing, -1 when only byte 2 is set, otherwise the tag.
int ClassifyDescriptor(const uint8_t* descriptor);

// Sum of `size` bytes modulo 256.
uint8_t SumBytes(const uint8_t* bytes, int32_t size);

bool HasEdidHeader(const uint8_t* bytes);

// The longest monitor name a descriptor holds.
inline constexpr int32_t kMaxMonitorNameLength = 13;

// Writes all 18 bytes of a monitor-name descriptor (0xFC): the name, a line
// feed when it is shorter than 13 characters, then spaces. Refuses, writing
// nothing, an empty name, a longer one, or one with a character outside
// printable ASCII.
bool EncodeMonitorName(const char* name, uint8_t* descriptor);

// Renames the first monitor-name descriptor of block 0 and repairs byte 127.
// Leaves the image untouched when block 0 has no such descriptor.
void ApplyIdentityPatch(uint8_t* block0);

// ---- The range limits descriptor (tag 0xFD) ----

// Byte 4: rates that read 255 more than their byte. A minimum carries the
// offset only together with its maximum (both bits set).
inline constexpr uint8_t kMinVerticalRateOffset = 0x01;
inline constexpr uint8_t kMaxVerticalRateOffset = 0x02;
inline constexpr uint8_t kMinHorizontalRateOffset = 0x04;
inline constexpr uint8_t kMaxHorizontalRateOffset = 0x08;
inline constexpr int32_t kRateOffset = 255;
inline constexpr int32_t kMaxRangeRate = 255 + kRateOffset;  // Hz or kHz, with the offset

// Byte 9 counts 10 MHz steps; the report reads 255 as "not given".
inline constexpr int32_t kPixelClockStepMhz = 10;
inline constexpr int32_t kMaxRangePixelClockMhz = 255 * kPixelClockStepMhz;

// Byte 10: what bytes 11-17 hold.
enum RangeTimingSupport : uint8_t {
  kRangeDefaultGtf = 0x00,
  kRangeLimitsOnly = 0x01,
  kRangeSecondaryGtf = 0x02,
  kRangeCvtSupported = 0x04,
};
inline constexpr int32_t kRangeTimingDataSize = 7;
// Bytes 11-17 when byte 10 is kRangeDefaultGtf or kRangeLimitsOnly.
inline constexpr uint8_t kNoRangeTimingData[kRangeTimingDataSize] = {0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};

// Every field of a range limits descriptor; rates with their offsets added.
struct RangeLimits {
  uint8_t offset_flags;  // byte 4 as it stands
  int32_t min_vertical_hz;
  int32_t max_vertical_hz;
  int32_t min_horizontal_khz;
  int32_t max_horizontal_khz;
  int32_t max_pixel_clock_mhz;  // a multiple of 10, at most 2550
  uint8_t timing_support;       // RangeTimingSupport
  uint8_t timing_data[kRangeTimingDataSize];  // bytes 11-17: GTF or CVT parameters

  bool operator==(const RangeLimits&) const = default;
};

RangeLimits DecodeRangeLimits(const uint8_t* descriptor);  // 18 bytes

// Writes all 18 bytes of a 0xFD descriptor. Sets the offset flag of every
// rate above 255 (keeping those already in offset_flags), and refuses,
// writing nothing, a rate that does not fit its byte under those flags, or a
// pixel clock that is negative, above 2550 MHz or not a multiple of 10 MHz.
bool EncodeRangeLimits(const RangeLimits& limits, uint8_t* descriptor);

// Prints the HorizSync, VertRefresh, dot clock and GTF lines of the report:
// the rate bytes as they stand, without their offsets.
void PrintRangeLimits(const RangeLimits& limits, std::FILE* out);
void PrintRangeLimits(const uint8_t* descriptor, std::FILE* out);

// Prints the power-management line from block 0's feature support byte.
void PrintPowerManagement(const uint8_t* block0, std::FILE* out);
