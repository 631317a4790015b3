#include "edid/cea_block.h"

#include "edid/base_block.h"
#include "edid/bits.h"

namespace {

// Offsets within a CEA-861 block.
constexpr int32_t kDetailedTimingStartOffset = 2;
constexpr int32_t kSupportFlagsOffset = 3;
constexpr int32_t kDataBlockCollectionOffset = 4;
constexpr int kBasicAudioBit = 6;

// Data block tag codes.
constexpr uint32_t kAudioDataBlockTag = 1;
constexpr uint32_t kVendorSpecificDataBlockTag = 3;

constexpr int32_t kOuiSize = 3;
constexpr int32_t kShortAudioDescriptorSize = 3;

// Walks the data block collection of the CEA block at `cea_offset` and
// returns the image offset of the first data block with tag `tag`, or -1.
// The walk ends at the first detailed timing and at the end of the image.
int32_t FindDataBlock(const EdidImage& image, int32_t cea_offset, uint32_t tag) {
  const int32_t collection_end = cea_offset + image.bytes[cea_offset + kDetailedTimingStartOffset];
  int32_t offset = cea_offset + kDataBlockCollectionOffset;
  while (offset < collection_end && offset < image.length) {
    const uint8_t header = image.bytes[offset];
    if (GetBits(header, 7, 5) == tag) return offset;
    offset += 1 + static_cast<int32_t>(GetBits(header, 4, 0));
  }
  return -1;
}

}  // namespace

int32_t FindCeaExtension(const EdidImage& image, std::FILE* out) {
  const int32_t counted = image.bytes[kExtensionCountOffset];
  if (counted == 0) {
    std::fprintf(out, "NO CEA extension\n");
    return -1;
  }
  // Only blocks that were loaded are looked at, whatever byte 126 claims.
  const int32_t loaded = image.length / kEdidBlockSize - 1;
  const int32_t last = counted < loaded ? counted : loaded;
  for (int32_t block = 1; block <= last; ++block) {
    if (image.bytes[block * kEdidBlockSize] == kCeaExtensionTag) return block * kEdidBlockSize;
  }
  return -1;
}

bool IsHdmiSink(const EdidImage& image, int32_t cea_offset) {
  // Only the first vendor-specific data block is ever compared.
  const int32_t block = FindDataBlock(image, cea_offset, kVendorSpecificDataBlockTag);
  if (block < 0 || block + kOuiSize >= image.length) return false;
  return GetLe24(image.bytes + block + 1) == kHdmiOui;
}

void PrintHdmiSupport(const EdidImage& image, std::FILE* out) {
  const int32_t cea_offset = FindCeaExtension(image, out);
  const bool hdmi = cea_offset >= 0 && IsHdmiSink(image, cea_offset);
  std::fprintf(out, hdmi ? "It's an HDMI monitor\n" : "It's NOT an HDMI monitor\n");
}

void PrintAudioSupport(const EdidImage& image, std::FILE* out) {
  const int32_t cea_offset = FindCeaExtension(image, out);
  if (cea_offset < 0) {
    std::fprintf(out, "Monitor has NO audio\n");
    return;
  }
  if (GetBit(image.bytes[cea_offset + kSupportFlagsOffset], kBasicAudioBit)) {
    std::fprintf(out, "Monitor has basic audio support\n");
    return;
  }
  const int32_t block = FindDataBlock(image, cea_offset, kAudioDataBlockTag);
  if (block < 0) {
    std::fprintf(out, "Monitor has NO audio\n");
    return;
  }
  const int32_t length = static_cast<int32_t>(GetBits(image.bytes[block], 4, 0));
  for (int32_t k = 1; k < length && block + k < image.length; k += kShortAudioDescriptorSize) {
    std::fprintf(out, "CEA audio format %d\n", static_cast<int>(GetBits(image.bytes[block + k], 6, 3)));
  }
}
