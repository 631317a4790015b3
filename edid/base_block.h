// The EDID base block: header, checksum, descriptors, range limits and the
// identity patch.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/detailed_timing.h"
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
inline constexpr int kDummyDescriptorTag = 0x10;

inline constexpr char kIdentityName[] = "KovraMonitor";

// -2 for a detailed timing, -1 when only byte 2 is set, otherwise the tag.
int ClassifyDescriptor(const uint8_t* descriptor);

// Sum of `size` bytes modulo 256.
uint8_t SumBytes(const uint8_t* bytes, int32_t size);

// Sets byte 127 of a 128-byte block so that the block sums to 0 modulo 256.
void SetChecksum(uint8_t* block);

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

// True when byte 4 of a range limits descriptor counts: EDID 1.4 and later
// revisions of version 1. Earlier revisions reserve the byte.
bool HasRangeRateOffsets(const uint8_t* block0);

// Prints the HorizSync, VertRefresh, dot clock and GTF lines of the report:
// the rates with their offsets when `with_offsets`, else the rate bytes as
// they stand.
void PrintRangeLimits(const RangeLimits& limits, bool with_offsets, std::FILE* out);

// Prints the power-management line from block 0's feature support byte.
void PrintPowerManagement(const uint8_t* block0, std::FILE* out);

// ---- Writing a base block ----

inline constexpr int32_t kManufacturerIdSize = 2;
inline constexpr int32_t kChromaticitySize = 10;
inline constexpr int32_t kEstablishedTimingsSize = 3;
inline constexpr int32_t kMaxBaseBlockTimings = 2;

// What EncodeBaseBlock writes into an EDID 1.4 base block. The descriptors
// go in this order: one or two detailed timings (a dummy descriptor in the
// second slot when one), the range limits (a dummy descriptor without
// them), the monitor name. No standard timings are given.
struct BaseBlockContent {
  uint8_t manufacturer[kManufacturerIdSize];  // three letters of five bits ('A' is 1), big-endian
  uint16_t product_code;
  uint32_t serial;
  uint8_t week;
  uint8_t year_since_1990;
  uint8_t video_input;  // byte 20 as it stands
  int32_t width_mm;     // screen size, stored in whole centimetres
  int32_t height_mm;
  uint8_t gamma;     // byte 23: gamma times 100, less 100
  uint8_t features;  // byte 24 as it stands
  uint8_t chromaticity[kChromaticitySize];       // bytes 25-34
  uint8_t established[kEstablishedTimingsSize];  // bytes 35-37
  DetailedTiming timings[kMaxBaseBlockTimings];
  int32_t timing_count;  // 1 or 2
  bool has_ranges;
  RangeLimits ranges;
  char name[kMaxMonitorNameLength + 1];
  uint8_t extension_count;
};

// Writes all 128 bytes of `block`, checksum included. False when
// timing_count is not 1 or 2, or a descriptor refuses a field; the block is
// then of no use.
bool EncodeBaseBlock(const BaseBlockContent& content, uint8_t* block);

// Writes all 18 bytes of a dummy descriptor (0x10): a slot left unused.
void EncodeDummyDescriptor(uint8_t* descriptor);
