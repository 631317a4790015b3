#include "driver_link/messages.h"

#include <algorithm>
#include <cstring>

#include "bytes/little_endian.h"

namespace {

constexpr size_t kPayloadOffset = 32;

DriverRequest MakeEmptyRequest(uint32_t command) {
  DriverRequest request{};
  request.magic = kDriverMagic;
  request.marker1 = kDriverMarker;
  request.marker2 = kDriverMarker;
  request.command = command;
  return request;
}

}  // namespace

DriverRequest MakeAttachRequest(const uint8_t* image, int32_t length, int32_t width, int32_t height,
                                int32_t refresh) {
  DriverRequest request = MakeEmptyRequest(kAttachCommand);
  request.payload_size = std::clamp(length, 0, kMaxPayloadSize);
  std::memcpy(request.payload, image, static_cast<size_t>(request.payload_size));
  request.width = width;
  request.height = height;
  request.refresh = refresh;
  return request;
}

DriverRequest MakeRemoveRequest() { return MakeEmptyRequest(kRemoveCommand); }

DriverReply MakeReply(int32_t status) {
  return DriverReply{kDriverMagic, kDriverMarker, kDriverMarker, status};
}

void EncodeDriverRequest(const DriverRequest& request, uint8_t* bytes) {
  const uint32_t words[8] = {request.magic,
                             request.marker1,
                             request.marker2,
                             request.command,
                             static_cast<uint32_t>(request.payload_size),
                             static_cast<uint32_t>(request.width),
                             static_cast<uint32_t>(request.height),
                             static_cast<uint32_t>(request.refresh)};
  for (size_t i = 0; i < 8; ++i) PutLe32(bytes + 4 * i, words[i]);
  std::memcpy(bytes + kPayloadOffset, request.payload, kPayloadCapacity);
}

DriverRequest DecodeDriverRequest(const uint8_t* bytes) {
  DriverRequest request{};
  request.magic = GetLe32(bytes);
  request.marker1 = GetLe32(bytes + 4);
  request.marker2 = GetLe32(bytes + 8);
  request.command = GetLe32(bytes + 12);
  request.payload_size = static_cast<int32_t>(GetLe32(bytes + 16));
  request.width = static_cast<int32_t>(GetLe32(bytes + 20));
  request.height = static_cast<int32_t>(GetLe32(bytes + 24));
  request.refresh = static_cast<int32_t>(GetLe32(bytes + 28));
  std::memcpy(request.payload, bytes + kPayloadOffset, kPayloadCapacity);
  return request;
}

void EncodeDriverReply(const DriverReply& reply, uint8_t* bytes) {
  PutLe32(bytes, reply.magic);
  PutLe32(bytes + 4, reply.marker1);
  PutLe32(bytes + 8, reply.marker2);
  PutLe32(bytes + 12, static_cast<uint32_t>(reply.status));
}

DriverReply DecodeDriverReply(const uint8_t* bytes) {
  return DriverReply{GetLe32(bytes), GetLe32(bytes + 4), GetLe32(bytes + 8),
                     static_cast<int32_t>(GetLe32(bytes + 12))};
}

bool IsAcceptedReply(const DriverReply& reply, int32_t bytes_read) {
  return bytes_read == static_cast<int32_t>(kDriverReplySize) && reply.magic == kDriverMagic &&
         reply.marker1 == kDriverMarker && reply.marker2 == kDriverMarker;
}
