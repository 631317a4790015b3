// Fuzzes the inspection, its report and the identity patch on images of one
// to eight blocks. The first input byte picks the block count, the rest fill
// the image (zeros where the input runs short). The bytes past the loaded
// length are poisoned, so a read outside the image stops the run.
#include <cstdint>
#include <cstring>

#include "edid/base_block.h"
#include "edid/inspect.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

int FirstNameDescriptor(const uint8_t* block0) {
  for (const int32_t offset : kDescriptorOffsets) {
    const uint8_t* d = block0 + offset;
    if (d[0] == 0 && d[1] == 0 && d[2] == 0 && d[3] == kMonitorNameTag) return offset;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t length = (data[0] % kEdidMaxBlocks + 1) * kEdidBlockSize;
  static EdidImage image;
  UnpoisonImage(image);
  std::memset(image.bytes, 0, sizeof image.bytes);
  const size_t body = size - 1 < static_cast<size_t>(length) ? size - 1 : static_cast<size_t>(length);
  std::memcpy(image.bytes, data + 1, body);
  image.length = length;

  uint8_t before[kEdidImageCapacity];
  std::memcpy(before, image.bytes, static_cast<size_t>(length));
  uint32_t sum = 0;
  for (int32_t i = 0; i < length; ++i) sum += before[i];
  const bool should_fail = sum % 256 != 0 || std::memcmp(before, kHeader, sizeof kHeader) != 0;
  const int name_offset = FirstNameDescriptor(before);

  PoisonPastLength(image, length);
  TimingTable timings;
  timings.count = -7;
  const bool failed = InspectEdid(image, timings, NullConsole());
  UnpoisonImage(image);

  FUZZ_EXPECT(failed == should_fail);
  FUZZ_EXPECT(timings.count >= 0 && timings.count <= kMaxTimingsPerInspection);
  FUZZ_EXPECT(timings.count <= 4 * (length > kEdidBlockSize ? 2 : 1));
  // The patch touches only the first name descriptor's text and byte 127.
  for (int32_t i = 0; i < length; ++i) {
    const bool in_name = name_offset >= 0 && i >= name_offset + 5 && i < name_offset + 18;
    const bool may_change = name_offset >= 0 && (in_name || i == kChecksumOffset);
    if (!may_change) FUZZ_EXPECT(image.bytes[i] == before[i]);
  }
  if (name_offset >= 0) {
    FUZZ_EXPECT(std::memcmp(image.bytes + name_offset + 5, "KovraMonitor\n", 13) == 0);
    uint32_t block0_sum = 0;
    for (int32_t i = 0; i < kEdidBlockSize; ++i) block0_sum += image.bytes[i];
    FUZZ_EXPECT(block0_sum % 256 == 0);
  }
  return 0;
}
