#include "edid/bits.h"

#include <gtest/gtest.h>

TEST(SetBits, StoresWhatFitsAndRefusesWhatDoesNot) {
  const struct {
    uint8_t before;
    int hi, lo;
    int64_t value;
    bool stored;
    uint8_t after;
  } cases[] = {
      {0x00, 7, 4, 0xF, true, 0xF0},   {0xFF, 7, 4, 0x0, true, 0x0F},  {0xA5, 3, 0, 0x3, true, 0xA3},
      {0x00, 7, 0, 255, true, 0xFF},   {0x5A, 7, 0, 256, false, 0x5A}, {0x00, 7, 4, 16, false, 0x00},
      {0xFF, 5, 4, 4, false, 0xFF},    {0x00, 5, 4, 3, true, 0x30},    {0x81, 6, 1, 0x3F, true, 0xFF},
      {0x81, 6, 1, 64, false, 0x81},   {0x00, 3, 2, -1, false, 0x00},  {0x12, 0, 0, 1, true, 0x13},
      {0x12, 0, 0, 2, false, 0x12},    {0x00, 7, 0, int64_t{1} << 40, false, 0x00},
  };
  for (const auto& c : cases) {
    uint8_t byte = c.before;
    EXPECT_EQ(SetBits(byte, c.hi, c.lo, c.value), c.stored) << c.hi << ".." << c.lo << " = " << c.value;
    EXPECT_EQ(byte, c.after) << c.hi << ".." << c.lo << " = " << c.value;
    if (c.stored) {
      EXPECT_EQ(GetBits(byte, c.hi, c.lo), static_cast<uint32_t>(c.value));
    }
  }
}

TEST(SetBit, SetsAndClearsOneBit) {
  uint8_t byte = 0x00;
  SetBit(byte, 6, true);
  EXPECT_EQ(byte, 0x40);
  SetBit(byte, 0, true);
  EXPECT_EQ(byte, 0x41);
  SetBit(byte, 6, false);
  EXPECT_EQ(byte, 0x01);
}
