#include "driver_link/messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encoded(const DriverRequest& request) {
  Bytes bytes(kDriverRequestSize, 0xCC);
  EncodeDriverRequest(request, bytes.data());
  return bytes;
}

Bytes Le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

// The 32-byte head of a request, field by field.
Bytes Head(uint32_t command, uint32_t payload_size, uint32_t width, uint32_t height, uint32_t refresh) {
  Bytes head = {0x21, 0x43, 0x34, 0x12, 1, 0, 0, 0, 1, 0, 0, 0};
  for (uint32_t value : {command, payload_size, width, height, refresh}) {
    const Bytes word = Le32(value);
    head.insert(head.end(), word.begin(), word.end());
  }
  return head;
}

}  // namespace

TEST(DriverRequest, AttachEncodesByteForByte) {
  uint8_t image[1024];
  for (int i = 0; i < 1024; ++i) image[i] = static_cast<uint8_t>(i % 251 + 1);
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const struct {
    int32_t length, width, height, refresh;
    Bytes head;
    size_t sent;
  } cases[] = {
      {128, 2560, 1440, 144, Head(1, 128, 2560, 1440, 144), 128},
      {256, 1920, 1080, 60, Head(1, 256, 1920, 1080, 60), 256},
      {384, 3840, 2160, 60, Head(1, 256, 3840, 2160, 60), 256},
      {1024, 0, 0, 0, Head(1, 256, 0, 0, 0), 256},
      {128, -1, kMin, 2147483647, Head(1, 128, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF), 128},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const Bytes bytes = Encoded(MakeAttachRequest(image, c.length, c.width, c.height, c.refresh));
    Bytes expected = c.head;
    expected.insert(expected.end(), image, image + c.sent);
    expected.resize(kDriverRequestSize, 0);
    EXPECT_EQ(bytes, expected);
  }
}

TEST(DriverRequest, RemoveIsTheSameHeadAndZeros) {
  Bytes expected = Head(2, 0, 0, 0, 0);
  expected.resize(kDriverRequestSize, 0);
  EXPECT_EQ(Encoded(MakeRemoveRequest()), expected);
  EXPECT_EQ(Encoded(MakeRemoveRequest()), expected);
}

TEST(DriverRequest, DecodesWhatWasEncoded) {
  uint8_t image[256];
  for (int i = 0; i < 256; ++i) image[i] = static_cast<uint8_t>(255 - i);
  const Bytes bytes = Encoded(MakeAttachRequest(image, 256, -7, 1440, 144));
  const DriverRequest request = DecodeDriverRequest(bytes.data());
  EXPECT_EQ(request.magic, 0x12344321u);
  EXPECT_EQ(request.marker1, 1u);
  EXPECT_EQ(request.marker2, 1u);
  EXPECT_EQ(request.command, 1u);
  EXPECT_EQ(request.payload_size, 256);
  EXPECT_EQ(request.width, -7);
  EXPECT_EQ(request.height, 1440);
  EXPECT_EQ(request.refresh, 144);
  EXPECT_EQ(Bytes(request.payload, request.payload + 256), Bytes(image, image + 256));
}

TEST(DriverReply, DecodesLittleEndianFields) {
  const struct {
    Bytes bytes;
    uint32_t magic, marker1, marker2;
    int32_t status;
  } cases[] = {
      {{0x21, 0x43, 0x34, 0x12, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, 0x12344321, 1, 1, 0},
      {{0x21, 0x43, 0x34, 0x12, 1, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 0x12344321, 1, 1, -1},
      {{0x12, 0x34, 0x43, 0x21, 0, 0, 0, 1, 2, 0, 0, 0, 0x39, 0x30, 0, 0}, 0x21433412, 0x01000000, 2, 12345},
  };
  for (const auto& c : cases) {
    const DriverReply reply = DecodeDriverReply(c.bytes.data());
    EXPECT_EQ(reply.magic, c.magic);
    EXPECT_EQ(reply.marker1, c.marker1);
    EXPECT_EQ(reply.marker2, c.marker2);
    EXPECT_EQ(reply.status, c.status);
    Bytes again(kDriverReplySize, 0xCC);
    EncodeDriverReply(reply, again.data());
    EXPECT_EQ(again, c.bytes);
  }
}

TEST(IsAcceptedReply, WholeReplyWithMagicAndMarkersOnly) {
  const struct {
    DriverReply reply;
    int32_t bytes_read;
    bool accepted;
  } cases[] = {
      {{0x12344321, 1, 1, 0}, 16, true},   {{0x12344321, 1, 1, -1}, 16, true},
      {{0x12344321, 1, 1, 7}, 15, false},  {{0x12344321, 1, 1, 0}, 0, false},
      {{0x12344321, 1, 1, 0}, 17, false},  {{0x21433412, 1, 1, 0}, 16, false},
      {{0x12344321, 0, 1, 0}, 16, false},  {{0x12344321, 1, 0, 0}, 16, false},
      {{0x12344321, 1, 2, 0}, 16, false},  {{0, 0, 0, 0}, 16, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsAcceptedReply(c.reply, c.bytes_read), c.accepted)
        << std::hex << c.reply.magic << " " << c.reply.marker1 << " " << c.reply.marker2 << " " << std::dec
        << c.bytes_read;
  }
  EXPECT_TRUE(IsAcceptedReply(MakeReply(-1), 16));
}
