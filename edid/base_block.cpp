#include "edid/base_block.h"

#include <cstring>

#include "edid/bits.h"
#include "edid/detailed_timing.h"

namespace {

constexpr uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// Monitor name descriptor: the name text fills bytes 5 to 17.
constexpr int32_t kNameTextOffset = 5;
constexpr uint8_t kNameTerminator = 0x0A;

// Monitor range limits descriptor.
constexpr int32_t kMinVerticalHzOffset = 5;
constexpr int32_t kMaxVerticalHzOffset = 6;
constexpr int32_t kMinHorizontalKhzOffset = 7;
constexpr int32_t kMaxHorizontalKhzOffset = 8;
constexpr int32_t kMaxPixelClock10MhzOffset = 9;
constexpr int32_t kTimingFormulaOffset = 10;
constexpr uint8_t kMaxPixelClockNotGiven = 255;

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

bool HasEdidHeader(const uint8_t* bytes) { return std::memcmp(bytes, kEdidHeader, sizeof kEdidHeader) == 0; }

void ApplyIdentityPatch(uint8_t* block0) {
  for (const int32_t offset : kDescriptorOffsets) {
    uint8_t* descriptor = block0 + offset;
    if (ClassifyDescriptor(descriptor) != kMonitorNameTag) continue;
    std::memcpy(descriptor + kNameTextOffset, kIdentityName, sizeof kIdentityName - 1);
    descriptor[kDescriptorSize - 1] = kNameTerminator;
    block0[kChecksumOffset] = static_cast<uint8_t>(0x100 - SumBytes(block0, kChecksumOffset));
    return;
  }
}

void PrintRangeLimits(const uint8_t* descriptor, std::FILE* out) {
  std::fprintf(out, "\tHorizSync %u-%u\n", descriptor[kMinHorizontalKhzOffset],
               descriptor[kMaxHorizontalKhzOffset]);
  std::fprintf(out, "\tVertRefresh %u-%u\n", descriptor[kMinVerticalHzOffset], descriptor[kMaxVerticalHzOffset]);
  const uint8_t max_pixel_clock_10mhz = descriptor[kMaxPixelClock10MhzOffset];
  if (max_pixel_clock_10mhz == kMaxPixelClockNotGiven) {
    std::fprintf(out, "\t# Max dot clock not given\n");
  } else {
    std::fprintf(out, "\t# Max dot clock (video bandwidth) %u MHz\n", max_pixel_clock_10mhz * 10u);
  }
  if (descriptor[kTimingFormulaOffset] != 0) std::fprintf(out, "\t# EDID version 3 GTF given: contact author\n");
}

void PrintPowerManagement(const uint8_t* block0, std::FILE* out) {
  const uint8_t features = block0[kFeatureSupportOffset];
  std::fprintf(out, "\t# DPMS capabilities: Active off:%s  Suspend:%s  Standby:%s\n\n", YesNo(GetBit(features, 5)),
               YesNo(GetBit(features, 6)), YesNo(GetBit(features, 7)));
}
