#include "edid/bits.h"

#include <gtest/gtest.h>

TEST(SetBits, StoresWhatFitsAndRefusesWhatDoesNot) {
  const struct {
    int hi, lo;
    int32_t value;
    uint8_t before;
    bool stored;
    uint8_t after;
  } cases[] = {
      {7, 4, 0xF, 0x00, true, 0xF0},
      {7, 4, 0x0, 0xFF, true, 0x0F},
      {3, 0, 0x3, 0xA5, true, 0xA3},
      {7, 0, 255, 0x00, true, 0xFF},
      {7, 0, 256, 0x5A, false, 0x5A},
      {7, 4, 16, 0x00, false, 0x00},
      {5, 4, 4, 0xFF, false, 0xFF},
      {5, 4, 3, 0x00, true, 0x30},
      {6, 1, 0x3F, 0x81, true, 0xFF},
      {6, 1, 64, 0x81, false, 0x81},
      {3, 2, -1, 0x00, false, 0x00},
      {0, 0, 1, 0x12, true, 0x13},
      {0, 0, 2, 0x12, false, 0x12},
      {7, 0, 0x10000, 0x00, false, 0x00},
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
