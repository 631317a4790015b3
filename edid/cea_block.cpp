#include "edid/cea_block.h"

#include <cstring>

#include "edid/base_block.h"
#include "edid/bits.h"

namespace {

constexpr int32_t kOuiSize = 3;
constexpr int32_t kShortAudioDescriptorSize = 3;

constexpr uint8_t kCtaRevision = 3;
constexpr uint8_t kTypeSevenBlockRevision = 0x02;
constexpr uint8_t kTypeTenBlockRevision = 0x00;
// A data block holds at most 31 bytes: the extended tag, the revision and
// four Type X timings.
constexpr int32_t kTypeTenPerBlock = 4;
constexpr int32_t kColorimetryPayloadSize = 2;
constexpr int32_t kHdrStaticMetadataPayloadSize = 2;
constexpr int32_t kSpeakerAllocationPayloadSize = 3;

// Bytes a whole data block takes: header, extended tag, payload.
constexpr int32_t BlockSize(int32_t payload) { return 1 + payload; }
constexpr int32_t ExtendedBlockSize(int32_t payload) { return 2 + payload; }

// Writes a header and `payload`; returns bytes written, 0 when the header is refused.
int32_t EncodeDataBlock(uint8_t tag, int32_t extended_tag, const uint8_t* payload, int32_t length,
                        uint8_t* bytes) {
  CtaDataBlock block{};
  block.tag = tag;
  block.extended_tag = extended_tag;
  block.payload_length = length;
  const int32_t header = EncodeCtaDataBlockHeader(block, bytes);
  if (header == 0) return 0;
  std::memcpy(bytes + header, payload, static_cast<size_t>(length));
  return header + length;
}

int32_t EncodeExtendedBlock(uint8_t extended_tag, const uint8_t* payload, int32_t length, uint8_t* bytes) {
  return EncodeDataBlock(kCtaExtendedBlock, extended_tag, payload, length, bytes);
}

int32_t TypeTenBytes(int32_t count) {
  const int32_t blocks = (count + kTypeTenPerBlock - 1) / kTypeTenPerBlock;
  return blocks * ExtendedBlockSize(1) + count * kTypeTenTimingSize;
}

int32_t EncodeTypeSevenBlock(const CvtTiming& timing, uint8_t* bytes) {
  uint8_t payload[1 + kTypeSevenTimingSize];
  payload[0] = kTypeSevenBlockRevision;
  // Inside a CTA-861 block the preferred flag means "YCbCr 4:2:0 only"; the
  // video format preference marks the preferred timing instead.
  EncodeTypeSevenTiming(timing, false, payload + 1);
  return EncodeExtendedBlock(kCtaDisplayIdTypeViiTiming, payload, sizeof payload, bytes);
}

// As many data blocks as the timings need; 0 when one is refused.
int32_t EncodeTypeTenBlocks(const DisplayMode* modes, int32_t count, uint8_t* bytes) {
  int32_t written = 0;
  for (int32_t start = 0; start < count; start += kTypeTenPerBlock) {
    const int32_t n = count - start < kTypeTenPerBlock ? count - start : kTypeTenPerBlock;
    uint8_t payload[1 + kTypeTenPerBlock * kTypeTenTimingSize];
    payload[0] = kTypeTenBlockRevision;
    for (int32_t i = 0; i < n; ++i) {
      const DisplayMode& mode = modes[start + i];
      EncodeTypeTenTiming(mode.width, mode.height, mode.refresh, payload + 1 + i * kTypeTenTimingSize);
    }
    const int32_t block = EncodeExtendedBlock(kCtaDisplayIdTypeXTiming, payload, 1 + n * kTypeTenTimingSize,
                                              bytes + written);
    if (block == 0) return 0;
    written += block;
  }
  return written;
}

int32_t EncodeAudioBlock(const ShortAudioDescriptor& sad, uint8_t* bytes) {
  uint8_t payload[kShortAudioDescriptorSize] = {0, sad.sample_rates, sad.detail};
  if (!SetBits(payload[0], 6, 3, sad.format) || sad.channels < 1 || !SetBits(payload[0], 2, 0, sad.channels - 1)) {
    return 0;
  }
  return EncodeDataBlock(kCtaAudioBlock, -1, payload, sizeof payload, bytes);
}

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

int32_t CtaContentSize(const CtaBlockContent& c) {
  int32_t size = (c.preferred_reference != 0 ? ExtendedBlockSize(1) : 0) +
                 c.type_seven_count * ExtendedBlockSize(1 + kTypeSevenTimingSize) + TypeTenBytes(c.type_ten_count) +
                 ExtendedBlockSize(1);
  if (c.colorimetry != 0) size += ExtendedBlockSize(kColorimetryPayloadSize);
  if (c.hdr_eotfs != 0) size += ExtendedBlockSize(kHdrStaticMetadataPayloadSize);
  if (c.audio.format != 0) size += BlockSize(kShortAudioDescriptorSize);
  if (c.speakers != 0) size += BlockSize(kSpeakerAllocationPayloadSize);
  return size + c.detailed_count * kDescriptorSize;
}

bool EncodeCtaBlock(const CtaBlockContent& c, uint8_t* block) {
  if (c.type_seven_count < 0 || c.type_seven_count > kMaxCtaTypeSevenTimings || c.type_ten_count < 0 ||
      c.type_ten_count > kMaxCtaTypeTenTimings || c.detailed_count < 0 || c.detailed_count > kMaxCtaDetailedTimings ||
      CtaContentSize(c) > kMaxCtaContentSize) {
    return false;
  }
  std::memset(block, 0, kEdidBlockSize);
  block[0] = kCtaExtensionTag;
  block[kCtaRevisionOffset] = kCtaRevision;
  SetBit(block[kCtaSupportFlagsOffset], kCtaUnderscanBit, c.underscan);
  SetBit(block[kCtaSupportFlagsOffset], kCtaBasicAudioBit, c.basic_audio);
  bool encoded = true;
  int32_t at = kCtaDataBlockCollectionOffset;
  auto add = [&encoded, &at](int32_t written) {
    encoded = encoded && written > 0;
    at += written;
  };
  if (c.preferred_reference != 0) {
    add(EncodeExtendedBlock(kCtaVideoFormatPreference, &c.preferred_reference, 1, block + at));
  }
  if (c.type_ten_first && c.type_ten_count > 0) add(EncodeTypeTenBlocks(c.type_ten, c.type_ten_count, block + at));
  for (int32_t i = 0; i < c.type_seven_count; ++i) add(EncodeTypeSevenBlock(c.type_seven[i], block + at));
  if (!c.type_ten_first && c.type_ten_count > 0) add(EncodeTypeTenBlocks(c.type_ten, c.type_ten_count, block + at));
  add(EncodeExtendedBlock(kCtaVideoCapability, &c.video_capability, 1, block + at));
  if (c.colorimetry != 0) {
    const uint8_t payload[kColorimetryPayloadSize] = {c.colorimetry, 0};
    add(EncodeExtendedBlock(kCtaColorimetry, payload, sizeof payload, block + at));
  }
  if (c.hdr_eotfs != 0) {
    const uint8_t payload[kHdrStaticMetadataPayloadSize] = {c.hdr_eotfs, c.hdr_metadata_types};
    add(EncodeExtendedBlock(kCtaHdrStaticMetadata, payload, sizeof payload, block + at));
  }
  if (c.audio.format != 0) add(EncodeAudioBlock(c.audio, block + at));
  if (c.speakers != 0) {
    const uint8_t payload[kSpeakerAllocationPayloadSize] = {c.speakers, 0, 0};
    add(EncodeDataBlock(kCtaSpeakerAllocationBlock, -1, payload, sizeof payload, block + at));
  }
  block[kCtaDetailedTimingStartOffset] = static_cast<uint8_t>(at);
  for (int32_t i = 0; i < c.detailed_count; ++i) {
    encoded = EncodeDetailedTiming(c.detailed[i], block + at) && encoded;
    at += kDescriptorSize;
  }
  SetChecksum(block);
  return encoded;
}
