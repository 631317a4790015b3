// Fuzzes the handling of what comes back over the driver pipe: the reply
// decoder and its acceptance test on arbitrary bytes and read counts, and the
// request decoder on arbitrary 1056-byte messages. Decoding and encoding
// again must give the same bytes.
#include <cstdint>
#include <cstring>

#include "driver_link/messages.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // A reply is read into a cleared 16-byte record; the read count is
  // whatever the platform says, from -128 to 127.
  uint8_t reply_bytes[kDriverReplySize] = {};
  const size_t reply_part = size < kDriverReplySize ? size : kDriverReplySize;
  std::memcpy(reply_bytes, data, reply_part);
  int32_t bytes_read = static_cast<int32_t>(reply_part);
  if (size > kDriverReplySize) bytes_read = static_cast<int32_t>(data[kDriverReplySize]) - 128;

  const DriverReply reply = DecodeDriverReply(reply_bytes);
  const bool accepted = IsAcceptedReply(reply, bytes_read);
  static constexpr uint8_t kGoodStart[12] = {0x21, 0x43, 0x34, 0x12, 1, 0, 0, 0, 1, 0, 0, 0};
  FUZZ_EXPECT(accepted == (bytes_read == 16 && std::memcmp(reply_bytes, kGoodStart, sizeof kGoodStart) == 0));
  uint8_t reencoded[kDriverReplySize];
  EncodeDriverReply(reply, reencoded);
  FUZZ_EXPECT(std::memcmp(reencoded, reply_bytes, kDriverReplySize) == 0);

  uint8_t request_bytes[kDriverRequestSize] = {};
  std::memcpy(request_bytes, data, size < kDriverRequestSize ? size : kDriverRequestSize);
  const DriverRequest request = DecodeDriverRequest(request_bytes);
  uint8_t request_again[kDriverRequestSize];
  EncodeDriverRequest(request, request_again);
  FUZZ_EXPECT(std::memcmp(request_again, request_bytes, kDriverRequestSize) == 0);
  return 0;
}
