#include "edid/inspect.h"

#include "edid/base_block.h"
#include "edid/cea_block.h"
#include "edid/detailed_timing.h"

namespace {

constexpr const char* kProgramName = "Velmorin";
constexpr int32_t kMaxBlockPasses = 2;
constexpr int32_t kExtensionDescriptorStartOffset = 2;

// Image offsets of the four descriptors a pass examines: block 0's fixed
// slots, or four in a row from block 1's detailed timing offset. A slot
// that does not lie wholly inside the image is -1.
void PassDescriptorOffsets(const EdidImage& image, int32_t pass, int32_t (&offsets)[4]) {
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t offset =
        pass == 0 ? kDescriptorOffsets[i]
                  : kEdidBlockSize + image.bytes[kEdidBlockSize + kExtensionDescriptorStartOffset] +
                        i * kDescriptorSize;
    offsets[i] = offset + kDescriptorSize <= image.length ? offset : -1;
  }
}

void RunBlockPass(EdidImage& image, int32_t pass, TimingTable& timings, std::FILE* out) {
  int32_t offsets[4];
  PassDescriptorOffsets(image, pass, offsets);
  // The base block's revision says how every range limits descriptor reads, in either pass.
  const bool with_offsets = HasRangeRateOffsets(image.bytes);
  for (const int32_t offset : offsets) {
    if (offset >= 0 && ClassifyDescriptor(image.bytes + offset) == kRangeLimitsTag) {
      PrintRangeLimits(DecodeRangeLimits(image.bytes + offset), with_offsets, out);
    }
  }
  PrintPowerManagement(image.bytes, out);
  for (const int32_t offset : offsets) {
    if (offset < 0 || ClassifyDescriptor(image.bytes + offset) != kDetailedTimingDescriptor) continue;
    const DetailedTiming timing = DecodeDetailedTiming(image.bytes + offset);
    PrintDetailedTiming(timing, out);
    const TimingRecord record = SummarizeDetailedTiming(timing);
    if (timings.count < kMaxTimingsPerInspection) timings.records[timings.count++] = record;
  }
}

}  // namespace

bool InspectEdid(EdidImage& image, TimingTable& timings, const Console& console) {
  timings.count = 0;
  bool check_failed = false;

  const uint8_t sum = SumBytes(image.bytes, image.length);
  if (sum != 0) {
    std::fprintf(console.out, "checksum wrong %d", sum);
    check_failed = true;
  }
  if (!HasEdidHeader(image.bytes)) {
    std::fprintf(console.err, "%s: %s\n", kProgramName, "first bytes don't match EDID version 1 header");
    std::fprintf(console.err, "%s: %s\n", kProgramName, "do not trust output (if any).");
    check_failed = true;
  }
  std::fprintf(console.out, "\n\t# EDID version %d revision %d\n", image.bytes[kVersionOffset],
               image.bytes[kRevisionOffset]);

  ApplyIdentityPatch(image.bytes);

  const int32_t blocks = image.length / kEdidBlockSize;
  const int32_t passes = blocks < kMaxBlockPasses ? blocks : kMaxBlockPasses;
  for (int32_t pass = 0; pass < passes; ++pass) RunBlockPass(image, pass, timings, console.out);

  PrintHdmiSupport(image, console.out);
  PrintAudioSupport(image, console.out);
  return check_failed;
}
