// The two fixed-size little-endian messages exchanged with the display driver.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char kDriverPipeName[] = "\\\\.\\pipe\\kovra_idd_pipe";

inline constexpr uint32_t kDriverMagic = 0x12344321;
inline constexpr uint32_t kDriverMarker = 1;
inline constexpr uint32_t kAttachCommand = 1;
inline constexpr uint32_t kRemoveCommand = 2;

inline constexpr size_t kDriverRequestSize = 1056;
inline constexpr size_t kDriverReplySize = 16;
inline constexpr size_t kPayloadCapacity = 1024;
// Only the base block and the first extension block ever travel.
inline constexpr int32_t kMaxPayloadSize = 256;

struct DriverRequest {
  uint32_t magic;
  uint32_t marker1;
  uint32_t marker2;
  uint32_t command;
  int32_t payload_size;
  int32_t width;
  int32_t height;
  int32_t refresh;
  uint8_t payload[kPayloadCapacity];
};

struct DriverReply {
  uint32_t magic;
  uint32_t marker1;
  uint32_t marker2;
  int32_t status;
};

// Attach request for the first min(length, 256) bytes of `image`.
DriverRequest MakeAttachRequest(const uint8_t* image, int32_t length, int32_t width, int32_t height,
                                int32_t refresh);
DriverRequest MakeRemoveRequest();
DriverReply MakeReply(int32_t status);

void EncodeDriverRequest(const DriverRequest& request, uint8_t* bytes);  // kDriverRequestSize bytes
DriverRequest DecodeDriverRequest(const uint8_t* bytes);                  // kDriverRequestSize bytes
void EncodeDriverReply(const DriverReply& reply, uint8_t* bytes);        // kDriverReplySize bytes
DriverReply DecodeDriverReply(const uint8_t* bytes);                      // kDriverReplySize bytes

// A reply counts only when it came whole in one read with the right magic and markers.
bool IsAcceptedReply(const DriverReply& reply, int32_t bytes_read);
