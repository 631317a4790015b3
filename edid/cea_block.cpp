#include "edid/cea_block.h"

#include "edid/base_block.h"
#include "edid/bits.h"

namespace {

constexpr int32_t kOuiSize = 3;
constexpr int32_t kShortAudioDescriptorSize = 3;

}  // namespace

CtaDataBlock DecodeCtaDataBlock(const uint8_t* bytes, int32_t size, int32_t header_offset) {
  const uint8_t header = bytes[header_offset];
  CtaDataBlock block{};
  block.tag = static_cast<uint8_t>(GetBits(header, 7, 5));
  block.length = static_cast<int32_t>(GetBits(header, 4, 0));
  block.header_offset = header_offset;
  block.extended_tag = -1;
  block.payload_offset = header_offset + 1;
  block.payload_length = block.length;
  if (block.tag == kCtaExtendedBlock && block.length > 0) {
    if (header_offset + 1 < size) block.extended_tag = bytes[header_offset + 1];
    block.payload_offset += 1;
    block.payload_length -= 1;
  }
  return block;
}

int32_t EncodeCtaDataBlockHeader(const CtaDataBlock& block, uint8_t* bytes) {
  const bool extended = block.tag == kCtaExtendedBlock;
  const int32_t length = block.payload_length + (extended ? 1 : 0);
  uint8_t header = 0;
  if (!SetBits(header, 7, 5, block.tag) || block.payload_length < 0 || !SetBits(header, 4, 0, length)) return 0;
  if (extended && !FitsBits(block.extended_tag, 8)) return 0;
  bytes[0] = header;
  if (!extended) return 1;
  bytes[1] = static_cast<uint8_t>(block.extended_tag);
  return 2;
}

CtaDataBlockList DecodeCtaDataBlocks(const uint8_t* bytes, int32_t size, int32_t cta_offset) {
  CtaDataBlockList list;
  list.count = 0;
  if (cta_offset + kCtaDataBlockCollectionOffset > size) return list;
  const int32_t collection_end = cta_offset + bytes[cta_offset + kCtaDetailedTimingStartOffset];
  int32_t offset = cta_offset + kCtaDataBlockCollectionOffset;
  while (offset < collection_end && offset < size && list.count < kMaxCtaDataBlocks) {
    const CtaDataBlock block = DecodeCtaDataBlock(bytes, size, offset);
    list.blocks[list.count++] = block;
    offset += 1 + block.length;
  }
  return list;
}

int32_t FindCtaDataBlock(const CtaDataBlockList& list, uint8_t tag) {
  for (int32_t i = 0; i < list.count; ++i) {
    if (list.blocks[i].tag == tag) return i;
  }
  return -1;
}

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
    if (image.bytes[block * kEdidBlockSize] == kCtaExtensionTag) return block * kEdidBlockSize;
  }
  return -1;
}

bool IsHdmiSink(const EdidImage& image, int32_t cea_offset) {
  const CtaDataBlockList list = DecodeCtaDataBlocks(image.bytes, image.length, cea_offset);
  // Only the first vendor-specific data block is ever compared, whatever its length says.
  const int32_t found = FindCtaDataBlock(list, kCtaVendorSpecificBlock);
  if (found < 0) return false;
  const CtaDataBlock& block = list.blocks[found];
  if (block.payload_offset + kOuiSize > image.length) return false;
  return GetLe24(image.bytes + block.payload_offset) == kHdmiOui;
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
  if (GetBit(image.bytes[cea_offset + kCtaSupportFlagsOffset], kCtaBasicAudioBit)) {
    std::fprintf(out, "Monitor has basic audio support\n");
    return;
  }
  const CtaDataBlockList list = DecodeCtaDataBlocks(image.bytes, image.length, cea_offset);
  const int32_t found = FindCtaDataBlock(list, kCtaAudioBlock);
  if (found < 0) {
    std::fprintf(out, "Monitor has NO audio\n");
    return;
  }
  // A short audio descriptor is listed once its second byte lies within the
  // block's length, and only while its first byte was loaded.
  const CtaDataBlock& block = list.blocks[found];
  for (int32_t k = 0; k + 1 < block.payload_length && block.payload_offset + k < image.length;
       k += kShortAudioDescriptorSize) {
    std::fprintf(out, "CEA audio format %d\n",
                 static_cast<int>(GetBits(image.bytes[block.payload_offset + k], 6, 3)));
  }
}
