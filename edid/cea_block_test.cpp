#include "edid/cea_block.h"

#include <gtest/gtest.h>

#include <vector>

#include "edid/base_block.h"
#include "edid/detailed_timing.h"
#include "tests/unit/test_support.h"

using namespace test_support;

namespace {

const Bytes kVideo = {0x42, 0x10, 0x04};
const Bytes kHdmi = {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00};
const Bytes kOtherVendor = {0x63, 0x01, 0x02, 0x03};
const Bytes kAudio3 = {0x23, 0x09, 0x07, 0x07};
const Bytes kAudio6 = {0x26, 0x09, 0x07, 0x07, 0x11, 0x07, 0x50};

// A CEA block with any byte 2 and no checksum repair, for layouts that the
// builder cannot express.
Bytes RawCea(uint8_t d, const Bytes& at_4) {
  Bytes block(128, 0);
  block[0] = 0x02;
  block[1] = 0x03;
  block[2] = d;
  Put(block, 4, at_4);
  return block;
}

// Filler data blocks (tag 2) from block offset 4 up to `target`.
Bytes FillerTo(size_t target) {
  Bytes blocks;
  size_t position = 4;
  while (position < target) {
    const size_t size = std::min<size_t>(target - position, 32);
    blocks.push_back(static_cast<uint8_t>(0x40 | (size - 1)));
    blocks.resize(blocks.size() + size - 1, 0);
    position += size;
  }
  return blocks;
}

Bytes NotCea() {
  Bytes block(128, 0);
  block[0] = 0xF0;
  return block;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(CeaReport, HdmiAndAudioLines) {
  const struct {
    const char* name;
    Bytes image;
    Bytes beyond;  // storage right after the image end, never to be read
    const char* hdmi;
    const char* audio;
  } cases[] = {
      {"no extension", BaseBlock({}, 0), {}, "NO CEA extension\nIt's NOT an HDMI monitor\n",
       "NO CEA extension\nMonitor has NO audio\n"},
      {"HDMI after other blocks", BaseBlock({}, 1) + CeaBlock(kVideo + kAudio3 + kHdmi, {}), {},
       "It's an HDMI monitor\n", "CEA audio format 1\n"},
      {"only the first vendor block counts", BaseBlock({}, 1) + CeaBlock(kOtherVendor + kHdmi + kAudio6, {}), {},
       "It's NOT an HDMI monitor\n", "CEA audio format 1\nCEA audio format 2\n"},
      {"OUI least significant byte first", BaseBlock({}, 1) + CeaBlock({0x63, 0x00, 0x0C, 0x03}, {}), {},
       "It's NOT an HDMI monitor\n", "Monitor has NO audio\n"},
      {"vendor block of length 0 still compares", BaseBlock({}, 1) + CeaBlock({0x60, 0x03, 0x0C, 0x00}, {}), {},
       "It's an HDMI monitor\n", "Monitor has NO audio\n"},
      {"basic audio overrides audio blocks", BaseBlock({}, 1) + CeaBlock(kAudio6, {}, 0x40), {},
       "It's NOT an HDMI monitor\n", "Monitor has basic audio support\n"},
      {"audio of length 1 prints nothing", BaseBlock({}, 1) + CeaBlock({0x21, 0x09}, {}), {},
       "It's NOT an HDMI monitor\n", ""},
      {"audio of length 0 prints nothing", BaseBlock({}, 1) + CeaBlock({0x20}, {}), {}, "It's NOT an HDMI monitor\n",
       ""},
      {"audio of length 2", BaseBlock({}, 1) + CeaBlock({0x22, 0x09, 0x07}, {}), {}, "It's NOT an HDMI monitor\n",
       "CEA audio format 1\n"},
      {"format code is bits 6-3", BaseBlock({}, 1) + CeaBlock({0x29, 0xFF, 0, 0, 0x80, 0, 0, 0x57, 0, 0}, {}), {},
       "It's NOT an HDMI monitor\n", "CEA audio format 15\nCEA audio format 0\nCEA audio format 10\n"},
      {"nothing walked when d is 4", BaseBlock({}, 1) + RawCea(4, kHdmi + kAudio3), {}, "It's NOT an HDMI monitor\n",
       "Monitor has NO audio\n"},
      {"nothing walked when d is below 4", BaseBlock({}, 1) + RawCea(2, kHdmi + kAudio3), {},
       "It's NOT an HDMI monitor\n", "Monitor has NO audio\n"},
      {"block 1 is no CEA block", BaseBlock({}, 1) + NotCea(), {}, "It's NOT an HDMI monitor\n",
       "Monitor has NO audio\n"},
      {"CEA block in block 2", BaseBlock({}, 2) + NotCea() + CeaBlock(kHdmi, {}, 0x40), {}, "It's an HDMI monitor\n",
       "Monitor has basic audio support\n"},
      // Byte 126 and the walks may point past the loaded image; only loaded bytes count.
      {"byte 126 counts blocks not loaded", BaseBlock({}, 3) + NotCea(), CeaBlock(kHdmi, {}, 0x40),
       "It's NOT an HDMI monitor\n", "Monitor has NO audio\n"},
      {"d = 255 walk stops at the image end", BaseBlock({}, 1) + RawCea(255, Bytes(124, 0x40)), kHdmi + kAudio3,
       "It's NOT an HDMI monitor\n", "Monitor has NO audio\n"},
      {"OUI running past the image end", BaseBlock({}, 1) + RawCea(255, FillerTo(125) + Bytes{0x63, 0x03, 0x0C}),
       {0x00}, "It's NOT an HDMI monitor\n", "Monitor has NO audio\n"},
      {"OUI ending at the image end", BaseBlock({}, 1) + RawCea(255, FillerTo(124) + Bytes{0x63, 0x03, 0x0C, 0x00}),
       {}, "It's an HDMI monitor\n", "Monitor has NO audio\n"},
      {"audio bytes past the image end", BaseBlock({}, 1) + RawCea(255, FillerTo(125) + Bytes{0x26, 0x09, 0x07}),
       {0x07, 0x11, 0x07, 0x50}, "It's NOT an HDMI monitor\n", "CEA audio format 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EdidImage image = MakeImage(c.image);
    std::copy(c.beyond.begin(), c.beyond.end(), image.bytes + image.length);
    CapturedConsole hdmi;
    PrintHdmiSupport(image, hdmi.out);
    EXPECT_EQ(hdmi.Out(), c.hdmi);
    CapturedConsole audio;
    PrintAudioSupport(image, audio.out);
    EXPECT_EQ(audio.Out(), c.audio);
  }
}

TEST(FindCeaExtension, LooksOnlyAtCountedLoadedBlocks) {
  const struct {
    const char* name;
    Bytes image;
    Bytes beyond;
    int32_t offset;
    const char* out;
  } cases[] = {
      {"byte 126 is 0", BaseBlock({}, 0) + CeaBlock({}, {}), {}, -1, "NO CEA extension\n"},
      {"block 1", BaseBlock({}, 1) + CeaBlock({}, {}), {}, 128, ""},
      {"first of two", BaseBlock({}, 2) + CeaBlock({}, {}) + CeaBlock(kHdmi, {}), {}, 128, ""},
      {"block 2", BaseBlock({}, 2) + NotCea() + CeaBlock({}, {}), {}, 256, ""},
      {"not counted by byte 126", BaseBlock({}, 1) + NotCea() + CeaBlock({}, {}), {}, -1, ""},
      {"counted but not loaded", BaseBlock({}, 7) + NotCea(), CeaBlock({}, {}), -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EdidImage image = MakeImage(c.image);
    std::copy(c.beyond.begin(), c.beyond.end(), image.bytes + image.length);
    CapturedConsole capture;
    EXPECT_EQ(FindCeaExtension(image, capture.out), c.offset);
    EXPECT_EQ(capture.Out(), c.out);
  }
}

TEST(CtaDataBlockHeader, EncodesWhatTheLengthCanCountAndDecodesItBack) {
  const struct {
    const char* name;
    uint8_t tag;
    int32_t extended_tag;
    int32_t payload_length;
    Bytes header;  // empty: refused
  } cases[] = {
      {"audio, one descriptor", kCtaAudioBlock, -1, 3, {0x23}},
      {"vendor-specific, longest", kCtaVendorSpecificBlock, -1, 31, {0x7F}},
      {"speaker allocation", kCtaSpeakerAllocationBlock, -1, 3, {0x83}},
      {"video, empty", kCtaVideoBlock, -1, 0, {0x40}},
      {"HDR static metadata", kCtaExtendedBlock, kCtaHdrStaticMetadata, 2, {0xE3, 0x06}},
      {"colorimetry", kCtaExtendedBlock, kCtaColorimetry, 2, {0xE3, 0x05}},
      {"type VII timing, longest", kCtaExtendedBlock, kCtaDisplayIdTypeViiTiming, 30, {0xFF, 0x22}},
      {"extended, no payload", kCtaExtendedBlock, kCtaVideoCapability, 0, {0xE1, 0x00}},
      {"payload of 32", kCtaVendorSpecificBlock, -1, 32, {}},
      {"extended payload of 31", kCtaExtendedBlock, kCtaColorimetry, 31, {}},
      {"tag 8", 8, -1, 1, {}},
      {"extended tag 256", kCtaExtendedBlock, 256, 1, {}},
      {"extended tag missing", kCtaExtendedBlock, -1, 1, {}},
      {"negative payload", kCtaAudioBlock, -1, -1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CtaDataBlock block{};
    block.tag = c.tag;
    block.extended_tag = c.extended_tag;
    block.payload_length = c.payload_length;
    Bytes bytes(40, 0xAA);
    const int32_t written = EncodeCtaDataBlockHeader(block, bytes.data() + 5);
    EXPECT_EQ(written, static_cast<int32_t>(c.header.size()));
    EXPECT_TRUE(std::equal(c.header.begin(), c.header.end(), bytes.begin() + 5));
    EXPECT_EQ(bytes[5 + c.header.size()], 0xAA);
    if (c.header.empty()) continue;
    const CtaDataBlock decoded = DecodeCtaDataBlock(bytes.data(), 40, 5);
    EXPECT_EQ(decoded.tag, c.tag);
    EXPECT_EQ(decoded.extended_tag, c.extended_tag);
    EXPECT_EQ(decoded.header_offset, 5);
    EXPECT_EQ(decoded.payload_offset, 5 + written);
    EXPECT_EQ(decoded.payload_length, c.payload_length);
  }
}

TEST(DecodeCtaDataBlocks, WalksTheCollectionUpToByteTwo) {
  const Bytes kHdr = {0xE3, 0x06, 0x05, 0x01};
  const Bytes kCut = {0xE0};  // extended block too short to name its kind
  const struct {
    const char* name;
    Bytes block;
    int32_t size;
    std::vector<CtaDataBlock> expected;  // offsets within the block
  } cases[] = {
      {"video, HDR, audio, HDMI", CeaBlock(kVideo + kHdr + kAudio3 + kHdmi, {Dtd1080()}), 128,
       {{kCtaVideoBlock, -1, 4, 2, 5, 2},
        {kCtaExtendedBlock, kCtaHdrStaticMetadata, 7, 3, 9, 2},
        {kCtaAudioBlock, -1, 11, 3, 12, 3},
        {kCtaVendorSpecificBlock, -1, 15, 5, 16, 5}}},
      {"extended block of length 0", CeaBlock(kCut + kAudio3, {}), 128,
       {{kCtaExtendedBlock, -1, 4, 0, 5, 0}, {kCtaAudioBlock, -1, 5, 3, 6, 3}}},
      {"no data blocks", CeaBlock({}, {Dtd1080()}), 128, {}},
      {"extended tag past the end", RawCea(255, FillerTo(127) + Bytes{0xE2}), 128,
       {{kCtaVideoBlock, -1, 4, 31, 5, 31},
        {kCtaVideoBlock, -1, 36, 31, 37, 31},
        {kCtaVideoBlock, -1, 68, 31, 69, 31},
        {kCtaVideoBlock, -1, 100, 26, 101, 26},
        {kCtaExtendedBlock, -1, 127, 2, 129, 1}}},
      {"a size ending after a header", CeaBlock(kVideo + kHdr, {}), 8,
       {{kCtaVideoBlock, -1, 4, 2, 5, 2}, {kCtaExtendedBlock, -1, 7, 3, 9, 2}}},
      {"a size ending before a header", CeaBlock(kVideo + kHdr, {}), 7, {{kCtaVideoBlock, -1, 4, 2, 5, 2}}},
      {"a size too short for the header", CeaBlock(kVideo, {}), 3, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CtaDataBlockList list = DecodeCtaDataBlocks(c.block.data(), c.size, 0);
    ASSERT_EQ(list.count, static_cast<int32_t>(c.expected.size()));
    for (int32_t i = 0; i < list.count; ++i) EXPECT_EQ(list.blocks[i], c.expected[static_cast<size_t>(i)]) << i;
  }
}

namespace {

CtaBlockContent SampleCtaBlock() {
  CtaBlockContent content{};
  content.underscan = true;
  content.basic_audio = true;
  content.preferred_reference = 145;
  content.type_seven[0] = CvtTiming{7680, 8, 32, 40, 4320, 52, 8, 6, 2090880};
  content.type_seven_count = 1;
  for (int32_t i = 0; i < 5; ++i) content.type_ten[i] = DisplayMode{1280 + 8 * i, 1024, 75};
  content.type_ten_count = 5;
  content.video_capability = 0x4A;
  content.colorimetry = 0x80;
  content.hdr_eotfs = 0x0D;
  content.hdr_metadata_types = 0x01;
  content.audio = ShortAudioDescriptor{kAudioFormatLpcm, 2, 0x07, 0x07};
  content.speakers = 0x01;
  content.detailed[0] = DecodeDetailedTiming(Dtd1080().data());
  content.detailed_count = 1;
  return content;
}

struct BlockShape {
  int tag;
  int extended_tag;
  int payload_length;

  bool operator==(const BlockShape&) const = default;
};

std::vector<BlockShape> ShapesOf(const Bytes& block) {
  const CtaDataBlockList list = DecodeCtaDataBlocks(block.data(), static_cast<int32_t>(block.size()), 0);
  std::vector<BlockShape> shapes;
  for (int32_t i = 0; i < list.count; ++i) {
    shapes.push_back({list.blocks[i].tag, list.blocks[i].extended_tag, list.blocks[i].payload_length});
  }
  return shapes;
}

}  // namespace

TEST(EncodeCtaBlock, WritesDataBlocksTheWalkFindsInOrder) {
  const BlockShape preference = {7, 0x0D, 1}, seven = {7, 0x22, 21}, ten4 = {7, 0x2A, 25}, ten1 = {7, 0x2A, 7},
                   capability = {7, 0x00, 1}, colorimetry = {7, 0x05, 2}, hdr = {7, 0x06, 2}, audio = {1, -1, 3},
                   speakers = {4, -1, 3};
  const struct {
    const char* label;
    void (*change)(CtaBlockContent&);
    std::vector<BlockShape> shapes;
    uint8_t flags;
  } cases[] = {
      {"everything", [](CtaBlockContent&) {},
       {preference, seven, ten4, ten1, capability, colorimetry, hdr, audio, speakers}, 0xC0},
      {"Type X first", [](CtaBlockContent& c) { c.type_ten_first = true; },
       {preference, ten4, ten1, seven, capability, colorimetry, hdr, audio, speakers}, 0xC0},
      {"only the capability block",
       [](CtaBlockContent& c) {
         const CtaBlockContent bare{};
         c = bare;
         c.video_capability = 0x4A;
       },
       {capability}, 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    CtaBlockContent content = SampleCtaBlock();
    c.change(content);
    Bytes block(kEdidBlockSize, 0x77);
    ASSERT_TRUE(EncodeCtaBlock(content, block.data()));
    EXPECT_EQ(block[0], kCtaExtensionTag);
    EXPECT_EQ(block[kCtaRevisionOffset], 3);
    EXPECT_EQ(block[kCtaSupportFlagsOffset], c.flags);
    EXPECT_EQ(ShapesOf(block), c.shapes);
    const int32_t detailed_start = block[kCtaDetailedTimingStartOffset];
    EXPECT_EQ(detailed_start, kCtaDataBlockCollectionOffset + CtaContentSize(content) -
                                  content.detailed_count * kDescriptorSize);
    for (int32_t i = 0; i < content.detailed_count; ++i) {
      EXPECT_EQ(DecodeDetailedTiming(block.data() + detailed_start + i * kDescriptorSize), content.detailed[i]);
    }
    EXPECT_EQ(SumBytes(block.data(), kEdidBlockSize), 0);
  }
}

TEST(EncodeCtaBlock, RefusesContentThatDoesNotFit) {
  const struct {
    const char* label;
    void (*change)(CtaBlockContent&);
    bool untouched;  // refused before writing anything
  } cases[] = {
      {"one Type X timing more", [](CtaBlockContent& c) { c.type_ten_count = 7; }, true},
      {"a negative count", [](CtaBlockContent& c) { c.type_ten_count = -1; }, true},
      {"more Type VII timings than the array", [](CtaBlockContent& c) { c.type_seven_count = 99; }, true},
      {"no audio channel", [](CtaBlockContent& c) { c.audio.channels = 0; }, false},
      {"nine audio channels", [](CtaBlockContent& c) { c.audio.channels = 9; }, false},
      {"a detailed timing too wide", [](CtaBlockContent& c) { c.detailed[0].vertical_active = 4096; }, false},
  };
  // Exactly the 123 bytes between byte 4 and the checksum.
  CtaBlockContent base = SampleCtaBlock();
  base.type_ten[5] = DisplayMode{1920, 1200, 60};
  base.type_ten_count = 6;
  base.detailed[1] = DecodeDetailedTiming(Dtd720().data());
  base.detailed_count = 2;
  ASSERT_EQ(CtaContentSize(base), 123);
  Bytes full(kEdidBlockSize, 0x77);
  ASSERT_TRUE(EncodeCtaBlock(base, full.data()));
  EXPECT_EQ(full[kCtaDetailedTimingStartOffset], 127 - 2 * kDescriptorSize);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    CtaBlockContent content = base;
    c.change(content);
    Bytes block(kEdidBlockSize, 0x77);
    EXPECT_FALSE(EncodeCtaBlock(content, block.data()));
    if (c.untouched) {
      EXPECT_EQ(block, Bytes(kEdidBlockSize, 0x77));
    }
  }
}
