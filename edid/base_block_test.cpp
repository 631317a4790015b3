#include "edid/base_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "edid/detailed_timing.h"

#include "tests/unit/test_support.h"

using namespace test_support;

TEST(ClassifyDescriptor, TellsTimingsUnknownAndTags) {
  const struct {
    Bytes head;  // bytes 0-3
    int kind;
  } cases[] = {
      {{0x02, 0x3A, 0x00, 0xFC}, -2}, {{0x00, 0x0A, 0x00, 0xFC}, -2}, {{0x01, 0x00, 0x00, 0x00}, -2},
      {{0x00, 0x00, 0x01, 0xFC}, -1}, {{0x00, 0x00, 0xFF, 0xFD}, -1}, {{0x00, 0x00, 0x00, 0xFC}, 0xFC},
      {{0x00, 0x00, 0x00, 0xFD}, 0xFD}, {{0x00, 0x00, 0x00, 0x00}, 0}, {{0x00, 0x00, 0x00, 0xFF}, 255},
  };
  for (const auto& c : cases) {
    Bytes descriptor(18, 0x20);
    std::copy(c.head.begin(), c.head.end(), descriptor.begin());
    EXPECT_EQ(ClassifyDescriptor(descriptor.data()), c.kind)
        << int{c.head[0]} << " " << int{c.head[1]} << " " << int{c.head[2]} << " " << int{c.head[3]};
  }
}

namespace {

// What the patch should make of `block` when the name descriptor sits at `offset`.
Bytes Renamed(Bytes block, size_t offset) {
  const std::string name = "KovraMonitor";
  std::copy(name.begin(), name.end(), block.begin() + static_cast<std::ptrdiff_t>(offset + 5));
  block[offset + 17] = 0x0A;
  FixChecksum(block, 0);
  return block;
}

Bytes Broken(Bytes block) {
  block[127] ^= 0x55;  // the patch must repair it, or leave it when it renames nothing
  return block;
}

}  // namespace

TEST(ApplyIdentityPatch, RenamesTheFirstNameDescriptorAndRepairsTheChecksum) {
  const Bytes timing_00_0a = {0x00, 0x0A, 0x00, 0xFC, 0x00, 'O', 'l', 'd', 0x0A, 0x20, 0x20, 0x20,
                              0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
  const Bytes unknown_fc = {0x00, 0x00, 0x01, 0xFC, 0x00, 'O', 'l', 'd', 0x0A, 0x20, 0x20, 0x20,
                            0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
  const Bytes one_name = Broken(BaseBlock({Dtd1080(), RangeDescriptor(56, 76, 30, 83, 15, 0), NameDescriptor("Old")}));
  const Bytes two_names = Broken(BaseBlock({Dtd1080(), NameDescriptor("First"), Dtd720(), NameDescriptor("Second")}));
  const Bytes long_name = Broken(BaseBlock({NameDescriptor("ThirteenChars")}));
  const Bytes last_slot = Broken(BaseBlock({Dtd1080(), {}, {}, NameDescriptor("Last")}));
  const Bytes behind_00_0a = Broken(BaseBlock({timing_00_0a, unknown_fc, NameDescriptor("Real")}));
  const Bytes no_name = Broken(BaseBlock({Dtd1080(), timing_00_0a, unknown_fc, RangeDescriptor(1, 2, 3, 4, 5, 6)}));
  const struct {
    const char* name;
    Bytes block;
    Bytes expected;
  } cases[] = {
      {"name in the third slot", one_name, Renamed(one_name, 90)},
      {"only the first of two names", two_names, Renamed(two_names, 72)},
      {"a name of 13 characters", long_name, Renamed(long_name, 54)},
      {"name in the last slot", last_slot, Renamed(last_slot, 108)},
      {"00 0A and 00 00 01 are no name descriptors", behind_00_0a, Renamed(behind_00_0a, 90)},
      {"no name: unchanged, byte 127 included", no_name, no_name},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = c.block;
    block.resize(256, 0x77);  // an extension block, which the patch never touches
    ApplyIdentityPatch(block.data());
    Bytes expected = c.expected;
    expected.resize(256, 0x77);
    EXPECT_EQ(block, expected);
  }
}

TEST(PrintRangeLimits, PrintsSyncRefreshAndDotClockLines) {
  const struct {
    Bytes body;  // bytes 5-10: vertical min/max, horizontal min/max, clock/10 MHz, formula
    const char* lines;
  } cases[] = {
      {{56, 76, 30, 83, 15, 0},
       "\tHorizSync 30-83\n\tVertRefresh 56-76\n\t# Max dot clock (video bandwidth) 150 MHz\n"},
      {{48, 144, 255, 0, 255, 0}, "\tHorizSync 255-0\n\tVertRefresh 48-144\n\t# Max dot clock not given\n"},
      {{0, 0, 0, 0, 0, 0}, "\tHorizSync 0-0\n\tVertRefresh 0-0\n\t# Max dot clock (video bandwidth) 0 MHz\n"},
      {{255, 255, 255, 255, 254, 2},
       "\tHorizSync 255-255\n\tVertRefresh 255-255\n\t# Max dot clock (video bandwidth) 2540 MHz\n"
       "\t# EDID version 3 GTF given: contact author\n"},
      {{50, 75, 31, 80, 255, 0x80},
       "\tHorizSync 31-80\n\tVertRefresh 50-75\n\t# Max dot clock not given\n"
       "\t# EDID version 3 GTF given: contact author\n"},
  };
  for (const auto& c : cases) {
    const Bytes descriptor = RangeDescriptor(c.body[0], c.body[1], c.body[2], c.body[3], c.body[4], c.body[5]);
    CapturedConsole capture;
    PrintRangeLimits(DecodeRangeLimits(descriptor.data()), true, capture.out);
    EXPECT_EQ(capture.Out(), c.lines);
  }
}

TEST(PrintPowerManagement, ReadsBitsFiveSixSevenOfByte24) {
  const struct {
    uint8_t features;
    const char* line;
  } cases[] = {
      {0x00, "\t# DPMS capabilities: Active off:no  Suspend:no  Standby:no\n\n"},
      {0x1F, "\t# DPMS capabilities: Active off:no  Suspend:no  Standby:no\n\n"},
      {0x20, "\t# DPMS capabilities: Active off:yes  Suspend:no  Standby:no\n\n"},
      {0x40, "\t# DPMS capabilities: Active off:no  Suspend:yes  Standby:no\n\n"},
      {0x80, "\t# DPMS capabilities: Active off:no  Suspend:no  Standby:yes\n\n"},
      {0xE0, "\t# DPMS capabilities: Active off:yes  Suspend:yes  Standby:yes\n\n"},
  };
  for (const auto& c : cases) {
    Bytes block = BaseBlock({});
    block[24] = c.features;
    CapturedConsole capture;
    PrintPowerManagement(block.data(), capture.out);
    EXPECT_EQ(capture.Out(), c.line) << int{c.features};
  }
}

namespace {

RangeLimits Limits(uint8_t flags, int32_t v_min, int32_t v_max, int32_t h_min, int32_t h_max, int32_t clock_mhz,
                   uint8_t support) {
  RangeLimits limits{flags, v_min, v_max, h_min, h_max, clock_mhz, support, {}};
  std::copy(std::begin(kNoRangeTimingData), std::end(kNoRangeTimingData), limits.timing_data);
  return limits;
}

// A 0xFD descriptor with `flags` in byte 4 and the test builder's body.
Bytes FlaggedRange(uint8_t flags, uint8_t v_min, uint8_t v_max, uint8_t h_min, uint8_t h_max, uint8_t clock_10mhz,
                   uint8_t support) {
  Bytes descriptor = RangeDescriptor(v_min, v_max, h_min, h_max, clock_10mhz, support);
  descriptor[4] = flags;
  return descriptor;
}

}  // namespace

TEST(RangeLimits, DecodeAddsTheOffsetsAndEncodeWritesTheSameBytes) {
  const struct {
    const char* name;
    Bytes descriptor;
    RangeLimits limits;
    const char* report;  // from EDID 1.4 on: the rates with their offsets
    const char* report_before_1_4;  // the rate bytes as they stand
  } cases[] = {
      {"no offsets", FlaggedRange(0x00, 56, 76, 30, 83, 15, 0x01), Limits(0x00, 56, 76, 30, 83, 150, 0x01),
       "\tHorizSync 30-83\n\tVertRefresh 56-76\n", "\tHorizSync 30-83\n\tVertRefresh 56-76\n"},
      {"max vertical +255", FlaggedRange(0x02, 48, 245, 30, 255, 255, 0x01),
       Limits(0x02, 48, 500, 30, 255, 2550, 0x01), "\tHorizSync 30-255\n\tVertRefresh 48-500\n",
       "\tHorizSync 30-255\n\tVertRefresh 48-245\n"},
      {"both vertical +255", FlaggedRange(0x03, 1, 245, 1, 2, 100, 0x00), Limits(0x03, 256, 500, 1, 2, 1000, 0x00),
       "\tHorizSync 1-2\n\tVertRefresh 256-500\n", "\tHorizSync 1-2\n\tVertRefresh 1-245\n"},
      {"max horizontal +255", FlaggedRange(0x08, 24, 144, 31, 20, 200, 0x04),
       Limits(0x08, 24, 144, 31, 275, 2000, 0x04), "\tHorizSync 31-275\n\tVertRefresh 24-144\n",
       "\tHorizSync 31-20\n\tVertRefresh 24-144\n"},
      {"both horizontal +255", FlaggedRange(0x0C, 24, 144, 5, 200, 200, 0x01),
       Limits(0x0C, 24, 144, 260, 455, 2000, 0x01), "\tHorizSync 260-455\n\tVertRefresh 24-144\n",
       "\tHorizSync 5-200\n\tVertRefresh 24-144\n"},
      {"every offset", FlaggedRange(0x0F, 0, 255, 0, 255, 0, 0x02), Limits(0x0F, 255, 510, 255, 510, 0, 0x02),
       "\tHorizSync 255-510\n\tVertRefresh 255-510\n", "\tHorizSync 0-255\n\tVertRefresh 0-255\n"},
      {"min flag alone adds nothing", FlaggedRange(0x05, 50, 75, 31, 80, 17, 0x01),
       Limits(0x05, 50, 75, 31, 80, 170, 0x01), "\tHorizSync 31-80\n\tVertRefresh 50-75\n",
       "\tHorizSync 31-80\n\tVertRefresh 50-75\n"},
      {"reserved bits kept", FlaggedRange(0xF0, 50, 75, 31, 80, 17, 0x01), Limits(0xF0, 50, 75, 31, 80, 170, 0x01),
       "\tHorizSync 31-80\n\tVertRefresh 50-75\n", "\tHorizSync 31-80\n\tVertRefresh 50-75\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeRangeLimits(c.descriptor.data()), c.limits);
    Bytes written(18, 0xAA);
    ASSERT_TRUE(EncodeRangeLimits(c.limits, written.data()));
    EXPECT_EQ(written, c.descriptor);
    for (const bool with_offsets : {true, false}) {
      const std::string report = with_offsets ? c.report : c.report_before_1_4;
      CapturedConsole capture;
      PrintRangeLimits(c.limits, with_offsets, capture.out);
      EXPECT_EQ(capture.Out().substr(0, report.size()), report);
    }
  }
}

TEST(HasRangeRateOffsets, FromVersion1Revision4On) {
  const struct {
    uint8_t version;
    uint8_t revision;
    bool offsets;
  } cases[] = {{1, 3, false}, {1, 4, true}, {1, 5, true}, {1, 255, true}, {2, 4, false}, {0, 4, false}};
  for (const auto& c : cases) {
    Bytes block = BaseBlock({});
    block[18] = c.version;
    block[19] = c.revision;
    EXPECT_EQ(HasRangeRateOffsets(block.data()), c.offsets) << int{c.version} << "." << int{c.revision};
  }
}

TEST(EncodeRangeLimits, SetsTheOffsetsThatHighRatesNeed) {
  const struct {
    const char* name;
    RangeLimits limits;
    Bytes descriptor;
  } cases[] = {
      {"500 Hz", Limits(0x00, 24, 500, 30, 200, 1200, 0x01), FlaggedRange(0x02, 24, 245, 30, 200, 120, 0x01)},
      {"256 to 300 Hz", Limits(0x00, 256, 300, 30, 200, 1200, 0x01), FlaggedRange(0x03, 1, 45, 30, 200, 120, 0x01)},
      {"up to 600 kHz", Limits(0x00, 24, 144, 255, 510, 2550, 0x01), FlaggedRange(0x08, 24, 144, 255, 255, 255, 0x01)},
      {"from 300 kHz", Limits(0x00, 24, 144, 300, 510, 2550, 0x01), FlaggedRange(0x0C, 24, 144, 45, 255, 255, 0x01)},
      {"exactly 255 needs none", Limits(0x00, 255, 255, 255, 255, 10, 0x00),
       FlaggedRange(0x00, 255, 255, 255, 255, 1, 0x00)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes written(18, 0xAA);
    ASSERT_TRUE(EncodeRangeLimits(c.limits, written.data()));
    EXPECT_EQ(written, c.descriptor);
    RangeLimits expected = c.limits;
    expected.offset_flags = c.descriptor[4];
    EXPECT_EQ(DecodeRangeLimits(written.data()), expected);
  }
}

TEST(EncodeRangeLimits, RefusesWhatTheDescriptorCannotSayAndWritesNothing) {
  const struct {
    const char* name;
    RangeLimits limits;
  } cases[] = {
      {"511 Hz", Limits(0x00, 24, 511, 30, 200, 1200, 0x01)},
      {"511 kHz", Limits(0x00, 24, 144, 30, 511, 1200, 0x01)},
      {"min above 255, max not", Limits(0x00, 300, 200, 30, 200, 1200, 0x01)},
      {"min kHz above 255, max not", Limits(0x00, 24, 144, 256, 100, 1200, 0x01)},
      {"offset asked, rate below it", Limits(0x02, 24, 144, 30, 200, 1200, 0x01)},
      {"min offset asked, rate below it", Limits(0x0C, 24, 144, 30, 300, 1200, 0x01)},
      {"negative rate", Limits(0x00, -1, 144, 30, 200, 1200, 0x01)},
      {"2560 MHz", Limits(0x00, 24, 144, 30, 200, 2560, 0x01)},
      {"not in 10 MHz steps", Limits(0x00, 24, 144, 30, 200, 1205, 0x01)},
      {"negative clock", Limits(0x00, 24, 144, 30, 200, -10, 0x01)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes written(18, 0xAA);
    EXPECT_FALSE(EncodeRangeLimits(c.limits, written.data()));
    EXPECT_EQ(written, Bytes(18, 0xAA));
  }
}

TEST(EncodeMonitorName, WritesWhatTheIdentityPatchWritesAndRefusesWhatNoDescriptorHolds) {
  const struct {
    const char* name;
    bool accepted;
    const char* text;  // bytes 5-17 as written
  } cases[] = {
      {"KovraMonitor", true, "KovraMonitor\n"},
      {"ThirteenChars", true, "ThirteenChars"},
      {"A", true, "A\n           "},
      {"", false, ""},
      {"FourteenChars!", false, ""},
      {"Tab\there", false, ""},
      {"Caf\xc3\xa9", false, ""},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> written(kDescriptorSize, 0xEE);
    EXPECT_EQ(EncodeMonitorName(c.name, written.data()), c.accepted) << c.name;
    if (!c.accepted) {
      EXPECT_EQ(written, std::vector<uint8_t>(kDescriptorSize, 0xEE)) << c.name;
      continue;
    }
    EXPECT_EQ(ClassifyDescriptor(written.data()), kMonitorNameTag);
    EXPECT_EQ(std::string(written.begin() + 5, written.end()), c.text) << c.name;
  }
}

namespace {

BaseBlockContent SampleBaseBlock() {
  BaseBlockContent content{};
  content.manufacturer[0] = 0x2E;
  content.manufacturer[1] = 0xD2;
  content.product_code = 0x1234;
  content.serial = 0xA1B2C3D4;
  content.video_input = 0xA0;
  content.width_mm = 597;
  content.height_mm = 334;
  content.timings[0] = DecodeDetailedTiming(Dtd1080().data());
  content.timings[1] = DecodeDetailedTiming(Dtd720().data());
  content.timing_count = 2;
  content.has_ranges = true;
  content.ranges = DecodeRangeLimits(RangeDescriptor(56, 76, 30, 83, 15, 0).data());
  std::snprintf(content.name, sizeof content.name, "%s", "Desk");
  content.extension_count = 1;
  return content;
}

}  // namespace

TEST(EncodeBaseBlock, WritesWhatTheReadersReadBack) {
  const struct {
    const char* label;
    void (*change)(BaseBlockContent&);
    bool encoded;
  } cases[] = {
      {"two timings", [](BaseBlockContent&) {}, true},
      {"one timing and a dummy descriptor", [](BaseBlockContent& c) { c.timing_count = 1; }, true},
      {"no timing", [](BaseBlockContent& c) { c.timing_count = 0; }, false},
      {"three timings", [](BaseBlockContent& c) { c.timing_count = 3; }, false},
      {"a timing too wide", [](BaseBlockContent& c) { c.timings[1].horizontal_active = 4096; }, false},
      {"ranges the descriptor cannot state", [](BaseBlockContent& c) { c.ranges.max_pixel_clock_mhz = 2555; }, false},
      {"an empty name", [](BaseBlockContent& c) { c.name[0] = '\0'; }, false},
      {"no range limits: a dummy descriptor", [](BaseBlockContent& c) { c.has_ranges = false; }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    BaseBlockContent content = SampleBaseBlock();
    c.change(content);
    Bytes block(kEdidBlockSize, 0x77);
    ASSERT_EQ(EncodeBaseBlock(content, block.data()), c.encoded);
    if (!c.encoded) continue;
    EXPECT_TRUE(HasEdidHeader(block.data()));
    EXPECT_EQ(SumBytes(block.data(), kEdidBlockSize), 0);
    EXPECT_EQ(Bytes(block.begin() + 8, block.begin() + 16), (Bytes{0x2E, 0xD2, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(block[kVersionOffset], 1);
    EXPECT_EQ(block[kRevisionOffset], 4);
    EXPECT_EQ(block[21], 60);  // 597 mm, to the nearest centimetre
    EXPECT_EQ(block[22], 33);
    EXPECT_EQ(Bytes(block.begin() + 38, block.begin() + 54), Bytes(16, 0x01));  // no standard timings
    EXPECT_EQ(DecodeDetailedTiming(block.data() + kDescriptorOffsets[0]), content.timings[0]);
    if (content.timing_count == 2) {
      EXPECT_EQ(DecodeDetailedTiming(block.data() + kDescriptorOffsets[1]), content.timings[1]);
    } else {
      EXPECT_EQ(Bytes(block.begin() + kDescriptorOffsets[1], block.begin() + kDescriptorOffsets[2]),
                (Bytes{0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
    if (content.has_ranges) {
      EXPECT_EQ(DecodeRangeLimits(block.data() + kDescriptorOffsets[2]), content.ranges);
    } else {
      EXPECT_EQ(ClassifyDescriptor(block.data() + kDescriptorOffsets[2]), kDummyDescriptorTag);
    }
    EXPECT_EQ(Bytes(block.begin() + kDescriptorOffsets[3], block.end() - 2), NameDescriptor("Desk"));
    EXPECT_EQ(block[kExtensionCountOffset], 1);
  }
}
