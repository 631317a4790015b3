#include "bytes/little_endian.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(LittleEndian, ReadsLowByteFirstAndWritesItBack) {
  const struct {
    uint8_t bytes[4];
    uint32_t le16, le24, le32;
  } cases[] = {
      {{0x21, 0x43, 0x34, 0x12}, 0x4321, 0x344321, 0x12344321},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF},
      {{0x00, 0x00, 0x00, 0x80}, 0, 0, 0x80000000},
      {{0x80, 0x01, 0x02, 0x00}, 0x0180, 0x020180, 0x00020180},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetLe16(c.bytes), c.le16);
    EXPECT_EQ(GetLe24(c.bytes), c.le24);
    EXPECT_EQ(GetLe32(c.bytes), c.le32);
    uint8_t written[6] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    PutLe32(written + 1, c.le32);
    EXPECT_EQ(written[0], 0xCC);  // nothing written outside the word
    EXPECT_EQ(written[5], 0xCC);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(written[1 + i], c.bytes[i]) << i;
  }
}
