#include "driver_link/client.h"

#include "driver_link/messages.h"
#include "platform/pipe.h"

namespace {

// Waits for the pipe and connects. Prints the progress lines; false when the
// exchange cannot go on.
bool OpenDriverPipe(PipeConnection* connection, std::FILE* out) {
  if (!WaitForPipe(kDriverPipeName)) {
    std::fprintf(out, "no any named Pipe exist !!!\n");
    return false;
  }
  std::fprintf(out, "Already have a named Pipe  !!!\n");
  int32_t error_code = 0;
  if (!ConnectToPipe(kDriverPipeName, connection, &error_code)) {
    std::fprintf(out, "connect failed! error=%d\n", error_code);
    return false;
  }
  std::fprintf(out, "connect success!\n");
  return true;
}

// Writes the request and reads the reply in one read into a cleared record.
DriverReply ExchangeRequest(PipeConnection connection, const DriverRequest& request, int32_t* bytes_read) {
  uint8_t request_bytes[kDriverRequestSize];
  EncodeDriverRequest(request, request_bytes);
  WriteToPipe(connection, request_bytes, sizeof request_bytes);
  uint8_t reply_bytes[kDriverReplySize] = {};
  *bytes_read = ReadFromPipe(connection, reply_bytes, sizeof reply_bytes);
  return DecodeDriverReply(reply_bytes);
}

void PrintStatus(const DriverReply& reply, std::FILE* out) {
  std::fprintf(out, "get a message from indirect display: status=%d\r\n", reply.status);
}

}  // namespace

void SendAttachRequest(const uint8_t* bytes, int32_t length, int32_t width, int32_t height, int32_t refresh,
                       std::FILE* out) {
  PipeConnection connection{};
  if (!OpenDriverPipe(&connection, out)) return;
  const DriverRequest request = MakeAttachRequest(bytes, length, width, height, refresh);
  std::fprintf(out, "payload size=%d\r\n", request.payload_size);
  int32_t bytes_read = 0;
  const DriverReply reply = ExchangeRequest(connection, request, &bytes_read);
  if (IsAcceptedReply(reply, bytes_read)) {
    PrintStatus(reply, out);
  } else {
    std::fprintf(out, "update EDID failed\r\n");
  }
  ClosePipe(connection);
}

void SendRemoveRequest(std::FILE* out) {
  PipeConnection connection{};
  if (!OpenDriverPipe(&connection, out)) return;
  int32_t bytes_read = 0;
  const DriverReply reply = ExchangeRequest(connection, MakeRemoveRequest(), &bytes_read);
  if (IsAcceptedReply(reply, bytes_read)) {
    PrintStatus(reply, out);
  } else {
    std::fprintf(out, "dwread = %d magic %x ma %d %d update EDID failed\r\n", bytes_read, reply.magic,
                 static_cast<int32_t>(reply.marker1), static_cast<int32_t>(reply.marker2));
  }
  ClosePipe(connection);
}
