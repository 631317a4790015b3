#include "edid/base_block.h"

#include <algorithm>
#include <cstring>

#include "bytes/little_endian.h"
#include "edid/bits.h"
#include "edid/detailed_timing.h"

namespace {

constexpr uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// Monitor name descriptor: the name text fills bytes 5 to 17.
constexpr int32_t kNameTextOffset = 5;
constexpr uint8_t kNameTerminator = 0x0A;

// Monitor range limits descriptor.
constexpr int32_t kRangeOffsetFlagsOffset = 4;
constexpr int32_t kMinVerticalHzOffset = 5;
constexpr int32_t kMaxVerticalHzOffset = 6;
constexpr int32_t kMinHorizontalKhzOffset = 7;
constexpr int32_t kMaxHorizontalKhzOffset = 8;
constexpr int32_t kMaxPixelClock10MhzOffset = 9;
constexpr int32_t kTimingFormulaOffset = 10;
constexpr int32_t kTimingDataOffset = 11;
constexpr uint8_t kMaxPixelClockNotGiven = 255;

// Base block fields that only the writer needs by name.
constexpr int32_t kManufacturerOffset = 8;
constexpr int32_t kProductCodeOffset = 10;
constexpr int32_t kSerialOffset = 12;
constexpr int32_t kWeekOffset = 16;
constexpr int32_t kYearOffset = 17;
constexpr int32_t kVideoInputOffset = 20;
constexpr int32_t kScreenWidthOffset = 21;
constexpr int32_t kScreenHeightOffset = 22;
constexpr int32_t kGammaOffset = 23;
constexpr int32_t kChromaticityOffset = 25;
constexpr int32_t kEstablishedTimingsOffset = 35;
constexpr int32_t kStandardTimingsOffset = 38;
constexpr int32_t kStandardTimingsSize = 16;
// Both bytes of an unused standard timing.
constexpr uint8_t kUnusedStandardTiming = 0x01;
constexpr uint8_t kEdidVersion = 1;
constexpr uint8_t kEdidRevision = 4;
// Byte 4 of the range limits descriptor counts from EDID 1.4 on.
constexpr uint8_t kFirstRevisionWithRateOffsets = 4;

// What byte 4 adds to a rate byte: a minimum's offset counts only with its maximum's.
int32_t RateOffset(uint8_t flags, uint8_t own_flag, uint8_t max_flag) {
  return (flags & own_flag) != 0 && (flags & max_flag) != 0 ? kRateOffset : 0;
}

struct RateField {
  int32_t byte_offset;
  uint8_t own_flag;
  uint8_t max_flag;
};

constexpr RateField kRateFields[4] = {
    {kMinVerticalHzOffset, kMinVerticalRateOffset, kMaxVerticalRateOffset},
    {kMaxVerticalHzOffset, kMaxVerticalRateOffset, kMaxVerticalRateOffset},
    {kMinHorizontalKhzOffset, kMinHorizontalRateOffset, kMaxHorizontalRateOffset},
    {kMaxHorizontalKhzOffset, kMaxHorizontalRateOffset, kMaxHorizontalRateOffset},
};

// The rates in kRateFields order.
void RatesOf(const RangeLimits& limits, int32_t (&rates)[4]) {
  rates[0] = limits.min_vertical_hz;
  rates[1] = limits.max_vertical_hz;
  rates[2] = limits.min_horizontal_khz;
  rates[3] = limits.max_horizontal_khz;
}

const char* YesNo(bool set) { return set ? "yes" : "no"; }

}  // namespace

int ClassifyDescriptor(const uint8_t* descriptor) {
  if (descriptor[0] != 0 || descriptor[1] != 0) return kDetailedTimingDescriptor;
  if (descriptor[2] != 0) return kUnknownDescriptor;
  return descriptor[3];
}

uint8_t SumBytes(const uint8_t* bytes, int32_t size) {
  uint32_t sum = 0;
  for (int32_t i = 0; i < size; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum);
}

void SetChecksum(uint8_t* block) {
  block[kChecksumOffset] = static_cast<uint8_t>(0x100 - SumBytes(block, kChecksumOffset));
}

bool HasEdidHeader(const uint8_t* bytes) { return std::memcmp(bytes, kEdidHeader, sizeof kEdidHeader) == 0; }

bool EncodeMonitorName(const char* name, uint8_t* descriptor) {
  const size_t length = std::strlen(name);
  if (length == 0 || length > static_cast<size_t>(kMaxMonitorNameLength)) return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < 0x20 || *c > 0x7E) return false;
  }
  std::memset(descriptor, 0, kNameTextOffset);
  descriptor[3] = static_cast<uint8_t>(kMonitorNameTag);
  std::memset(descriptor + kNameTextOffset, ' ', kDescriptorSize - kNameTextOffset);
  // The text has no terminating NUL: a line feed ends a short name.
  std::copy_n(name, length, descriptor + kNameTextOffset);
  if (length < static_cast<size_t>(kMaxMonitorNameLength)) descriptor[kNameTextOffset + length] = kNameTerminator;
  return true;
}

void ApplyIdentityPatch(uint8_t* block0) {
  for (const int32_t offset : kDescriptorOffsets) {
    uint8_t* descriptor = block0 + offset;
    if (ClassifyDescriptor(descriptor) != kMonitorNameTag) continue;
    std::memcpy(descriptor + kNameTextOffset, kIdentityName, sizeof kIdentityName - 1);
    descriptor[kDescriptorSize - 1] = kNameTerminator;
    SetChecksum(block0);
    return;
  }
}

RangeLimits DecodeRangeLimits(const uint8_t* descriptor) {
  const uint8_t flags = descriptor[kRangeOffsetFlagsOffset];
  int32_t rates[4];
  for (int32_t i = 0; i < 4; ++i) {
    const RateField& field = kRateFields[i];
    rates[i] = descriptor[field.byte_offset] + RateOffset(flags, field.own_flag, field.max_flag);
  }
  RangeLimits limits{};
  limits.offset_flags = flags;
  limits.min_vertical_hz = rates[0];
  limits.max_vertical_hz = rates[1];
  limits.min_horizontal_khz = rates[2];
  limits.max_horizontal_khz = rates[3];
  limits.max_pixel_clock_mhz = descriptor[kMaxPixelClock10MhzOffset] * kPixelClockStepMhz;
  limits.timing_support = descriptor[kTimingFormulaOffset];
  std::memcpy(limits.timing_data, descriptor + kTimingDataOffset, kRangeTimingDataSize);
  return limits;
}

bool EncodeRangeLimits(const RangeLimits& limits, uint8_t* descriptor) {
  int32_t rates[4];
  RatesOf(limits, rates);
  uint8_t flags = limits.offset_flags;
  for (int32_t i = 0; i < 4; ++i) {
    if (rates[i] > 255) flags |= kRateFields[i].own_flag | kRateFields[i].max_flag;
  }
  uint8_t d[kDescriptorSize] = {};
  for (int32_t i = 0; i < 4; ++i) {
    const RateField& field = kRateFields[i];
    const int32_t byte = rates[i] - RateOffset(flags, field.own_flag, field.max_flag);
    if (!FitsBits(byte, 8)) return false;
    d[field.byte_offset] = static_cast<uint8_t>(byte);
  }
  const int32_t clock = limits.max_pixel_clock_mhz;
  if (clock < 0 || clock > kMaxRangePixelClockMhz || clock % kPixelClockStepMhz != 0) return false;

  d[3] = kRangeLimitsTag;
  d[kRangeOffsetFlagsOffset] = flags;
  d[kMaxPixelClock10MhzOffset] = static_cast<uint8_t>(clock / kPixelClockStepMhz);
  d[kTimingFormulaOffset] = limits.timing_support;
  std::memcpy(d + kTimingDataOffset, limits.timing_data, kRangeTimingDataSize);
  std::memcpy(descriptor, d, kDescriptorSize);
  return true;
}

bool HasRangeRateOffsets(const uint8_t* block0) {
  return block0[kVersionOffset] == kEdidVersion && block0[kRevisionOffset] >= kFirstRevisionWithRateOffsets;
}

void PrintRangeLimits(const RangeLimits& limits, bool with_offsets, std::FILE* out) {
  int32_t rates[4];
  RatesOf(limits, rates);
  unsigned shown[4];
  for (int32_t i = 0; i < 4; ++i) {
    const RateField& field = kRateFields[i];
    const int32_t offset = with_offsets ? 0 : RateOffset(limits.offset_flags, field.own_flag, field.max_flag);
    shown[i] = static_cast<unsigned>(rates[i] - offset);
  }
  std::fprintf(out, "\tHorizSync %u-%u\n", shown[2], shown[3]);
  std::fprintf(out, "\tVertRefresh %u-%u\n", shown[0], shown[1]);
  const int32_t max_pixel_clock_10mhz = limits.max_pixel_clock_mhz / kPixelClockStepMhz;
  if (max_pixel_clock_10mhz == kMaxPixelClockNotGiven) {
    std::fprintf(out, "\t# Max dot clock not given\n");
  } else {
    std::fprintf(out, "\t# Max dot clock (video bandwidth) %u MHz\n",
                 static_cast<unsigned>(limits.max_pixel_clock_mhz));
  }
  if (limits.timing_support != 0) std::fprintf(out, "\t# EDID version 3 GTF given: contact author\n");
}

bool EncodeBaseBlock(const BaseBlockContent& content, uint8_t* block) {
  std::memset(block, 0, kEdidBlockSize);
  std::memcpy(block, kEdidHeader, sizeof kEdidHeader);
  std::memcpy(block + kManufacturerOffset, content.manufacturer, kManufacturerIdSize);
  PutLe16(block + kProductCodeOffset, content.product_code);
  PutLe32(block + kSerialOffset, content.serial);
  block[kWeekOffset] = content.week;
  block[kYearOffset] = content.year_since_1990;
  block[kVersionOffset] = kEdidVersion;
  block[kRevisionOffset] = kEdidRevision;
  block[kVideoInputOffset] = content.video_input;
  // Rounded to the nearest centimetre.
  block[kScreenWidthOffset] = static_cast<uint8_t>((content.width_mm + 5) / 10);
  block[kScreenHeightOffset] = static_cast<uint8_t>((content.height_mm + 5) / 10);
  block[kGammaOffset] = content.gamma;
  block[kFeatureSupportOffset] = content.features;
  std::memcpy(block + kChromaticityOffset, content.chromaticity, kChromaticitySize);
  std::memcpy(block + kEstablishedTimingsOffset, content.established, kEstablishedTimingsSize);
  std::memset(block + kStandardTimingsOffset, kUnusedStandardTiming, kStandardTimingsSize);
  bool encoded = content.timing_count >= 1 && content.timing_count <= kMaxBaseBlockTimings;
  encoded = EncodeDetailedTiming(content.timings[0], block + kDescriptorOffsets[0]) && encoded;
  if (content.timing_count == 2) {
    encoded = EncodeDetailedTiming(content.timings[1], block + kDescriptorOffsets[1]) && encoded;
  } else {
    EncodeDummyDescriptor(block + kDescriptorOffsets[1]);
  }
  if (content.has_ranges) {
    encoded = EncodeRangeLimits(content.ranges, block + kDescriptorOffsets[2]) && encoded;
  } else {
    EncodeDummyDescriptor(block + kDescriptorOffsets[2]);
  }
  encoded = EncodeMonitorName(content.name, block + kDescriptorOffsets[3]) && encoded;
  block[kExtensionCountOffset] = content.extension_count;
  SetChecksum(block);
  return encoded;
}

void EncodeDummyDescriptor(uint8_t* descriptor) {
  std::memset(descriptor, 0, kDescriptorSize);
  descriptor[3] = static_cast<uint8_t>(kDummyDescriptorTag);
}

void PrintPowerManagement(const uint8_t* block0, std::FILE* out) {
  const uint8_t features = block0[kFeatureSupportOffset];
  std::fprintf(out, "\t# DPMS capabilities: Active off:%s  Suspend:%s  Standby:%s\n\n", YesNo(GetBit(features, 5)),
               YesNo(GetBit(features, 6)), YesNo(GetBit(features, 7)));
}
