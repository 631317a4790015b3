#include "edid/inspect.h"

#include <gtest/gtest.h>

#include "tests/unit/test_support.h"

using namespace test_support;

namespace {

const std::string kVersion = "\n\t# EDID version 1 revision 3\n";
const std::string kDpms = "\t# DPMS capabilities: Active off:yes  Suspend:no  Standby:yes\n\n";
const std::string kRange = "\tHorizSync 30-83\n\tVertRefresh 56-76\n\t# Max dot clock (video bandwidth) 150 MHz\n";
const std::string kRangeGtf =
    "\tHorizSync 30-160\n\tVertRefresh 48-144\n\t# Max dot clock not given\n"
    "\t# EDID version 3 GTF given: contact author\n";
const std::string kMode1080 = "\tMode \t\"1920x1080\"\t# vfreq 60.000Hz, hfreq 67.500kHz\n\t\tDotClock\t148.500000\n";
const std::string kMode720 = "\tMode \t\"1280x720\"\t# vfreq 60.000Hz, hfreq 45.000kHz\n\t\tDotClock\t74.250000\n";
const std::string kMode800 = "\tMode \t\"800x600\"\t# vfreq 33.600Hz, hfreq 25.200kHz\n\t\tDotClock\t25.200000\n";
const std::string kNoCea = "NO CEA extension\nIt's NOT an HDMI monitor\nNO CEA extension\nMonitor has NO audio\n";
const std::string kHeaderComplaint =
    "Velmorin: first bytes don't match EDID version 1 header\nVelmorin: do not trust output (if any).\n";

const Bytes kHdmiAndAudio = {0x23, 0x09, 0x07, 0x07, 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00};

Bytes Dtd800() { return Dtd(2520, 800, 200, 600, 150); }

Bytes Base(uint8_t extensions) {
  return BaseBlock({Dtd1080(), RangeDescriptor(56, 76, 30, 83, 15, 0), NameDescriptor("Old Name"), Dtd720()},
                   extensions);
}

Bytes Cea() { return CeaBlock(kHdmiAndAudio, {Dtd800(), RangeDescriptor(48, 144, 30, 160, 255, 2)}); }

// Block 1 that is no CEA block, its descriptors from `d` on.
Bytes Other(uint8_t d, const std::vector<Bytes>& descriptors) {
  Bytes block(128, 0);
  block[0] = 0xF0;
  block[2] = d;
  for (size_t i = 0; i < descriptors.size(); ++i) Put(block, d + 18 * i, descriptors[i]);
  FixChecksum(block, 0);
  return block;
}

Bytes AddToByte(Bytes image, size_t offset, int delta) {
  image[offset] = static_cast<uint8_t>(image[offset] + delta);
  return image;
}

Bytes WithHeaderByte(Bytes image, size_t offset, uint8_t value) {
  image[offset] = value;
  FixChecksum(image, 0);
  return image;
}

struct Inspection {
  bool failed;
  std::string out;
  std::string err;
  std::vector<std::tuple<int, int, int>> timings;
  EdidImage image;
};

Inspection Inspect(const Bytes& bytes, const Bytes& beyond = {}) {
  Inspection result{};
  result.image = MakeImage(bytes);
  std::copy(beyond.begin(), beyond.end(), result.image.bytes + result.image.length);
  TimingTable timings{};
  timings.count = 3;  // left over from an earlier file
  CapturedConsole capture;
  result.failed = InspectEdid(result.image, timings, capture.console());
  result.out = capture.Out();
  result.err = capture.Err();
  for (int32_t i = 0; i < timings.count; ++i) {
    result.timings.emplace_back(timings.records[i].width, timings.records[i].height, timings.records[i].refresh);
  }
  return result;
}

using Timings = std::vector<std::tuple<int, int, int>>;
const Timings kBaseTimings = {{1920, 1080, 60}, {1280, 720, 60}};

}  // namespace

TEST(InspectEdid, PrintsTheWholeReport) {
  const Bytes timing_00_0a = {0x00, 0x0A, 0x00, 0xFC, 0x00, 'A', 'B', 'C', 0x0A, 0x20,
                              0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
  const Bytes two_blocks = Concat({Base(1), Cea()});
  const struct {
    const char* name;
    Bytes image;
    Bytes beyond;
    bool failed;
    std::string out;
    std::string err;
    Timings timings;
  } cases[] = {
      {"one block", Base(0), {}, false, kVersion + kRange + kDpms + kMode1080 + kMode720 + kNoCea, "", kBaseTimings},
      {"two blocks with CEA", two_blocks, {}, false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kRangeGtf + kDpms + kMode800 +
           "It's an HDMI monitor\nCEA audio format 1\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      {"00 0A is a detailed timing", BaseBlock({timing_00_0a}), {}, false,
       kVersion + kDpms + "\tMode \t\"0x1089\"\t# vfreq 52.828Hz, hfreq 101.587kHz\n\t\tDotClock\t25.600000\n" + kNoCea,
       "", {{0, 1089, 53}}},
      {"checksum off by 3", AddToByte(Base(0), 127, 3), {}, true,
       "checksum wrong 3" + kVersion + kRange + kDpms + kMode1080 + kMode720 + kNoCea, "", kBaseTimings},
      {"block 1 sums to 5", AddToByte(two_blocks, 255, 5), {}, true,
       "checksum wrong 5" + kVersion + kRange + kDpms + kMode1080 + kMode720 + kRangeGtf + kDpms + kMode800 +
           "It's an HDMI monitor\nCEA audio format 1\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      {"block sums 5 and 251 pass", AddToByte(AddToByte(two_blocks, 127, 5), 255, 251), {}, false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kRangeGtf + kDpms + kMode800 +
           "It's an HDMI monitor\nCEA audio format 1\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      {"header byte 3", WithHeaderByte(Base(0), 3, 0xFE), {}, true,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kNoCea, kHeaderComplaint, kBaseTimings},
      {"header byte 7", WithHeaderByte(Base(0), 7, 0x01), {}, true,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kNoCea, kHeaderComplaint, kBaseTimings},
      {"header and checksum", AddToByte(WithHeaderByte(Base(0), 0, 0xFF), 127, 200), {}, true,
       "checksum wrong 200" + kVersion + kRange + kDpms + kMode1080 + kMode720 + kNoCea, kHeaderComplaint,
       kBaseTimings},
      {"block 1 not CEA still gets its pass", Concat({Base(1), Other(16, {Dtd800()})}), {}, false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kDpms + kMode800 +
           "It's NOT an HDMI monitor\nMonitor has NO audio\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      {"CEA in block 2: passes over blocks 0 and 1", Concat({Base(2), Other(4, {Dtd800()}), Cea()}), {}, false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kDpms + kMode800 +
           "It's an HDMI monitor\nCEA audio format 1\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      // Pass 1 descriptors at block 1 offsets 110, 128, ...: only the first lies inside.
      {"pass 1 descriptor ending at the image end", Concat({Base(1), Other(110, {Dtd800()})}),
       Concat({Dtd1080(), Dtd720()}), false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kDpms + kMode800 +
           "It's NOT an HDMI monitor\nMonitor has NO audio\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      // Offsets 100, 118, 136, ...: the second starts inside and ends outside.
      {"pass 1 descriptor across the image end", Concat({Base(1), Other(100, {Dtd800(), Dtd720()})}),
       Concat({Dtd1080(), Dtd720()}), false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kDpms + kMode800 +
           "It's NOT an HDMI monitor\nMonitor has NO audio\n",
       "", {{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}}},
      {"pass 1 at offset 255", Concat({Base(1), Other(255, {})}), Dtd1080(), false,
       kVersion + kRange + kDpms + kMode1080 + kMode720 + kDpms + "It's NOT an HDMI monitor\nMonitor has NO audio\n",
       "", kBaseTimings},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Inspection result = Inspect(c.image, c.beyond);
    EXPECT_EQ(result.failed, c.failed);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.timings, c.timings);
  }
}

TEST(InspectEdid, PatchesTheNameEvenWhenATestFails) {
  for (const Bytes& image : {Base(0), AddToByte(Base(0), 127, 3), WithHeaderByte(Base(0), 1, 0)}) {
    Bytes expected = image;
    const std::string name = "KovraMonitor\n";
    std::copy(name.begin(), name.end(), expected.begin() + 95);
    FixChecksum(expected, 0);
    const Inspection result = Inspect(image);
    EXPECT_EQ(Bytes(result.image.bytes, result.image.bytes + 128), expected);
  }
}

TEST(InspectEdid, LeavesAnImageWithoutNameAsLoaded) {
  const Bytes image = AddToByte(BaseBlock({Dtd1080()}), 127, 9);
  const Inspection result = Inspect(image);
  EXPECT_TRUE(result.failed);
  EXPECT_EQ(Bytes(result.image.bytes, result.image.bytes + 128), image);
}

TEST(InspectEdid, RecordsAtMostEightTimings) {
  const Bytes base = BaseBlock({Dtd1080(), Dtd720(), Dtd800(), Dtd(14850, 1920, 280, 1080, 45)}, 2);
  const Bytes cea = CeaBlock({}, {Dtd720(), Dtd800(), Dtd1080(), Dtd720()});
  const Bytes third = Other(4, {Dtd800(), Dtd800()});
  const Inspection result = Inspect(Concat({base, cea, third}));
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.timings, (Timings{{1920, 1080, 60}, {1280, 720, 60}, {800, 600, 33}, {1920, 1080, 60},
                                     {1280, 720, 60}, {800, 600, 33}, {1920, 1080, 60}, {1280, 720, 60}}));
}
