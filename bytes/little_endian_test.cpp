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
    // Each width writes its own bytes from the full word and nothing outside them.
    for (const int width : {2, 3, 4}) {
      uint8_t written[6] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
      if (width == 2) PutLe16(written + 1, c.le32);
      if (width == 3) PutLe24(written + 1, c.le32);
      if (width == 4) PutLe32(written + 1, c.le32);
      for (int i = 0; i < 6; ++i) {
        const bool inside = i >= 1 && i <= width;
        EXPECT_EQ(written[i], inside ? c.bytes[i - 1] : 0xCC) << width << " " << i;
      }
    }
  }
}
