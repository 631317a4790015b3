#include "driver_link/client.h"

#include <cstdarg>

#include "driver_link/messages.h"
#include "platform/pipe.h"

namespace {

// printf to `out`, or nowhere when it is null.
[[gnu::format(printf, 2, 3)]] void Say(std::FILE* out, const char* format, ...) {
  if (out == nullptr) return;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(out, format, arguments);
  va_end(arguments);
}

// Connects, waiting up to kBusyPipeWaitMs for a busy pipe, and prints the
// progress lines. An outcome of kAccepted means connected: the exchange goes on.
ExchangeOutcome OpenDriverPipe(PipeConnection* connection, std::FILE* out) {
  int32_t error_code = 0;
  const PipeOpenResult opened = OpenPipeWithin(kDriverPipeName, kBusyPipeWaitMs, connection, &error_code);
  if (opened == PipeOpenResult::kAbsent) {
    Say(out, "no any named Pipe exist !!!\n");
    return {ExchangeResult::kNoDriver, 0, 0};
  }
  Say(out, "Already have a named Pipe  !!!\n");
  if (opened != PipeOpenResult::kConnected) {  // busy past the wait, or failed
    Say(out, "connect failed! error=%d\n", error_code);
    return {ExchangeResult::kConnectFailed, error_code, 0};
  }
  Say(out, "connect success!\n");
  return {ExchangeResult::kAccepted, 0, 0};
}

// Writes the request and reads the reply in one read into a cleared record,
// each within kReplyWaitMs. The read follows whatever the write did: a driver
// that took part of the request may still have answered.
DriverReply ExchangeRequest(PipeConnection connection, const DriverRequest& request, int32_t* bytes_read) {
  uint8_t request_bytes[kDriverRequestSize];
  EncodeDriverRequest(request, request_bytes);
  WriteToPipeWithin(connection, request_bytes, sizeof request_bytes, kReplyWaitMs);
  uint8_t reply_bytes[kDriverReplySize] = {};
  const PipeTransfer read = ReadOnceFromPipeWithin(connection, reply_bytes, sizeof reply_bytes, kReplyWaitMs);
  *bytes_read = static_cast<int32_t>(read.count);
  return DecodeDriverReply(reply_bytes);
}

ExchangeOutcome Accepted(const DriverReply& reply, std::FILE* out) {
  Say(out, "get a message from indirect display: status=%d\r\n", reply.status);
  return {ExchangeResult::kAccepted, 0, reply.status};
}

constexpr ExchangeOutcome kNotAccepted = {ExchangeResult::kNotAccepted, 0, 0};

}  // namespace

ExchangeOutcome SendAttachRequest(const uint8_t* bytes, int32_t length, int32_t width, int32_t height,
                                  int32_t refresh, std::FILE* out) {
  PipeConnection connection{};
  const ExchangeOutcome opened = OpenDriverPipe(&connection, out);
  if (opened.result != ExchangeResult::kAccepted) return opened;
  const DriverRequest request = MakeAttachRequest(bytes, length, width, height, refresh);
  Say(out, "payload size=%d\r\n", request.payload_size);
  int32_t bytes_read = 0;
  const DriverReply reply = ExchangeRequest(connection, request, &bytes_read);
  ClosePipe(connection);
  if (IsAcceptedReply(reply, bytes_read)) return Accepted(reply, out);
  Say(out, "update EDID failed\r\n");
  return kNotAccepted;
}

ExchangeOutcome SendRemoveRequest(std::FILE* out) {
  PipeConnection connection{};
  const ExchangeOutcome opened = OpenDriverPipe(&connection, out);
  if (opened.result != ExchangeResult::kAccepted) return opened;
  int32_t bytes_read = 0;
  const DriverReply reply = ExchangeRequest(connection, MakeRemoveRequest(), &bytes_read);
  ClosePipe(connection);
  if (IsAcceptedReply(reply, bytes_read)) return Accepted(reply, out);
  Say(out, "dwread = %d magic %x ma %d %d update EDID failed\r\n", bytes_read, reply.magic,
      static_cast<int32_t>(reply.marker1), static_cast<int32_t>(reply.marker2));
  return kNotAccepted;
}

HostExchangeOutcome ExchangeForHost(const DriverRequest& request) {
  PipeConnection connection{};
  int32_t error_code = 0;
  switch (OpenPipeWithin(kDriverPipeName, kBusyPipeWaitMs, &connection, &error_code)) {
    case PipeOpenResult::kAbsent:
      return {HostExchangeStop::kNoDriver, 0, 0, 0};
    case PipeOpenResult::kBusy:
      return {HostExchangeStop::kBusy, 0, 0, 0};
    case PipeOpenResult::kFailed:
      return {HostExchangeStop::kConnectFailed, error_code, 0, 0};
    case PipeOpenResult::kConnected:
      break;
  }
  uint8_t request_bytes[kDriverRequestSize];
  EncodeDriverRequest(request, request_bytes);
  const PipeTransfer written = WriteToPipeWithin(connection, request_bytes, sizeof request_bytes, kReplyWaitMs);
  uint8_t reply_bytes[kDriverReplySize] = {};
  const PipeTransfer read = written.count == sizeof request_bytes
                                ? ReadFromPipeWithin(connection, reply_bytes, sizeof reply_bytes, kReplyWaitMs)
                                : PipeTransfer{0, false};
  ClosePipe(connection);
  const auto taken = static_cast<int32_t>(written.count);
  const auto got = static_cast<int32_t>(read.count);
  if (taken == 0) {
    return {written.timed_out ? HostExchangeStop::kNotTakenInTime : HostExchangeStop::kNotTaken, 0, 0, 0};
  }
  if (written.count < sizeof request_bytes) return {HostExchangeStop::kPartlyTaken, 0, taken, 0};
  if (got == 0) return {read.timed_out ? HostExchangeStop::kNoReply : HostExchangeStop::kClosed, 0, 0, 0};
  if (got < static_cast<int32_t>(kDriverReplySize)) return {HostExchangeStop::kShortReply, 0, got, 0};
  const DriverReply reply = DecodeDriverReply(reply_bytes);
  if (!IsAcceptedReply(reply, got)) return {HostExchangeStop::kMalformedReply, 0, got, 0};
  return {HostExchangeStop::kAccepted, 0, got, reply.status};
}

std::string DriverEndpoint() { return PipeEndpoint(kDriverPipeName); }
