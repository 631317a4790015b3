// The CTA-861 extension block: its layout, its data blocks as decoded
// records, and the HDMI and audio lines of the report.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/cvt.h"
#include "edid/detailed_timing.h"
#include "edid/displayid.h"
#include "edid/edid_image.h"

inline constexpr uint32_t kHdmiOui = 0x000C03;

// Offsets within a CTA-861 block (its tag, kCtaExtensionTag, is byte 0).
inline constexpr int32_t kCtaRevisionOffset = 1;
inline constexpr int32_t kCtaDetailedTimingStartOffset = 2;  // 4 when there are no data blocks
inline constexpr int32_t kCtaSupportFlagsOffset = 3;
inline constexpr int32_t kCtaDataBlockCollectionOffset = 4;

// Bits of byte 3; bits 3-0 count the native detailed timings.
inline constexpr int kCtaUnderscanBit = 7;
inline constexpr int kCtaBasicAudioBit = 6;
inline constexpr int kCtaYcbcr444Bit = 5;
inline constexpr int kCtaYcbcr422Bit = 4;

// Bits 7-5 of a data block's header byte.
enum CtaDataBlockTag : uint8_t {
  kCtaAudioBlock = 1,
  kCtaVideoBlock = 2,
  kCtaVendorSpecificBlock = 3,
  kCtaSpeakerAllocationBlock = 4,
  kCtaDisplayTransferBlock = 5,
  kCtaVideoFormatBlock = 6,
  kCtaExtendedBlock = 7,  // the byte after the header names the kind
};

// The byte after the header of a kCtaExtendedBlock.
enum CtaExtendedTag : uint8_t {
  kCtaVideoCapability = 0x00,
  kCtaVendorSpecificVideo = 0x01,
  kCtaVesaDisplayDevice = 0x02,
  kCtaVesaVideoTimingBlock = 0x03,
  kCtaColorimetry = 0x05,
  kCtaHdrStaticMetadata = 0x06,
  kCtaHdrDynamicMetadata = 0x07,
  kCtaNativeVideoResolution = 0x08,
  kCtaVideoFormatPreference = 0x0D,
  kCtaYcbcr420Video = 0x0E,
  kCtaYcbcr420CapabilityMap = 0x0F,
  kCtaMiscellaneousAudioFields = 0x10,
  kCtaVendorSpecificAudio = 0x11,
  kCtaHdmiAudio = 0x12,
  kCtaRoomConfiguration = 0x13,
  kCtaSpeakerLocation = 0x14,
  kCtaInfoFrame = 0x20,
  kCtaDisplayIdTypeViiTiming = 0x22,
  kCtaDisplayIdTypeViiiTiming = 0x23,
  kCtaDisplayIdTypeXTiming = 0x2A,
  kCtaHdmiForumEdidExtensionOverride = 0x78,
  kCtaHdmiForumSinkCapability = 0x79,
};

// Bits 4-0 of the header: the bytes that follow it, extended tag included.
inline constexpr int32_t kCtaMaxDataBlockLength = 31;

// One data block. Offsets count from the start of the bytes it was decoded
// from and may lie past their end when a block claims more than there is:
// readers check them against the size.
struct CtaDataBlock {
  uint8_t tag;             // CtaDataBlockTag
  int32_t extended_tag;    // CtaExtendedTag; -1 unless tag is 7 and that byte is there
  int32_t header_offset;   // the header byte
  int32_t length;          // bits 4-0 of the header
  int32_t payload_offset;  // past the header and any extended tag byte
  int32_t payload_length;  // length less any extended tag byte

  bool operator==(const CtaDataBlock&) const = default;
};

// Data blocks start at block offset 4 and end before byte 2's offset, at most 255.
inline constexpr int32_t kMaxCtaDataBlocks = 255 - kCtaDataBlockCollectionOffset;

struct CtaDataBlockList {
  CtaDataBlock blocks[kMaxCtaDataBlocks];
  int32_t count;
};

// The data block whose header is at `header_offset` of `size` bytes.
CtaDataBlock DecodeCtaDataBlock(const uint8_t* bytes, int32_t size, int32_t header_offset);

// Writes the header byte, and for tag 7 the extended tag byte, of a block
// with `block.payload_length` payload bytes to follow; offsets are ignored.
// Refuses, writing nothing, a tag above 7, an extended tag outside 0-255 or
// a payload that the 5-bit length cannot count. Returns bytes written, 0 on refusal.
int32_t EncodeCtaDataBlockHeader(const CtaDataBlock& block, uint8_t* bytes);

// Walks the data block collection of the CTA block at `cta_offset`. The walk
// ends where byte 2 points and at the end of the `size` bytes, whichever is first.
CtaDataBlockList DecodeCtaDataBlocks(const uint8_t* bytes, int32_t size, int32_t cta_offset);

// Index of the first block in `list` with `tag`, or -1.
int32_t FindCtaDataBlock(const CtaDataBlockList& list, uint8_t tag);

// Offset of the first CEA-861 block among the extension blocks that byte
// 126 counts and that were loaded, or -1. Prints "NO CEA extension" when
// byte 126 counts none.
int32_t FindCeaExtension(const EdidImage& image, std::FILE* out);

// True when the first vendor-specific data block carries the HDMI OUI.
bool IsHdmiSink(const EdidImage& image, int32_t cea_offset);

// Prints the HDMI line.
void PrintHdmiSupport(const EdidImage& image, std::FILE* out);

// Prints the basic audio line, the audio format lines or the no-audio line.
void PrintAudioSupport(const EdidImage& image, std::FILE* out);

// ---- Writing a CTA-861 block ----

// Data blocks and detailed timings lie between the collection's start and
// the checksum.
inline constexpr int32_t kMaxCtaContentSize = kEdidBlockSize - 1 - kCtaDataBlockCollectionOffset;

// More of each kind than the block could ever hold.
inline constexpr int32_t kMaxCtaTypeSevenTimings = kMaxCtaContentSize / kTypeSevenTimingSize;
inline constexpr int32_t kMaxCtaTypeTenTimings = kMaxCtaContentSize / kTypeTenTimingSize;
inline constexpr int32_t kMaxCtaDetailedTimings = kMaxCtaContentSize / kDescriptorSize;

inline constexpr uint8_t kAudioFormatLpcm = 1;

// One short audio descriptor.
struct ShortAudioDescriptor {
  uint8_t format;        // audio format code, 1-15; 0 for none
  int32_t channels;      // 1-8
  uint8_t sample_rates;  // bit 0 32 kHz, bit 1 44.1 kHz, bit 2 48 kHz, and so on up to 192 kHz
  uint8_t detail;        // for LPCM the sample sizes: bit 0 16 bits, bit 1 20 bits, bit 2 24 bits
};

// What EncodeCtaBlock writes into a revision 3 block, in this order: a
// video format preference, the Type X timings when they come first, the
// Type VII timings, otherwise the Type X timings (four to a data block),
// video capability, colorimetry, HDR static metadata, audio, speaker
// allocation, then the detailed timings. A field of 0 leaves its block out;
// the video capability block is always there.
struct CtaBlockContent {
  bool underscan;    // byte 3: IT formats are underscanned by default
  bool basic_audio;  // byte 3
  uint8_t preferred_reference;  // the short video reference a video format preference names
  bool type_ten_first;
  CvtTiming type_seven[kMaxCtaTypeSevenTimings];
  int32_t type_seven_count;
  DisplayMode type_ten[kMaxCtaTypeTenTimings];  // reduced blanking v2
  int32_t type_ten_count;
  uint8_t video_capability;  // its payload byte
  uint8_t colorimetry;       // the first payload byte; the second (metadata profiles) is 0
  uint8_t hdr_eotfs;         // transfer functions of the HDR static metadata block
  uint8_t hdr_metadata_types;
  ShortAudioDescriptor audio;  // the one descriptor of an audio block
  uint8_t speakers;            // the first byte of a speaker allocation block
  DetailedTiming detailed[kMaxCtaDetailedTimings];
  int32_t detailed_count;
};

// The bytes that `content`'s data blocks and detailed timings take.
int32_t CtaContentSize(const CtaBlockContent& content);

// Writes all 128 bytes of `block`, checksum included. Refuses, writing
// nothing, content larger than kMaxCtaContentSize or a count outside its
// array. False too when a field does not fit its place; the block is then
// of no use.
bool EncodeCtaBlock(const CtaBlockContent& content, uint8_t* block);
