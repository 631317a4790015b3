#include "edid/base_block.h"

#include <gtest/gtest.h>

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
    PrintRangeLimits(descriptor.data(), capture.out);
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
