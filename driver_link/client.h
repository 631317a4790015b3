// The client side of the exchange with the display driver: one request, one reply.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "driver_link/messages.h"

// Every exchange is patient with a busy pipe and never waits for ever.
inline constexpr int32_t kBusyPipeWaitMs = 2000;
inline constexpr int32_t kReplyWaitMs = 10000;  // for the request's write, then for the reply

// How an exchange ended, for callers that act on it rather than print it.
enum class ExchangeResult {
  kNoDriver,       // nothing serves the pipe
  kConnectFailed,  // the pipe is there, the connect failed or it stayed busy: `error_code`
  kNotAccepted,    // the reply was short or had the wrong magic or markers
  kAccepted,       // a whole reply: `status`
};

struct ExchangeOutcome {
  ExchangeResult result;
  int32_t error_code;
  int32_t status;
};

// Sends the first min(length, 256) of the `length` bytes at `bytes` with the
// display mode. Prints the progress lines and the driver's answer on `out`,
// nothing when `out` is null. Waits at most kBusyPipeWaitMs for a busy pipe,
// then kReplyWaitMs for the write and again for the reply, and judges what
// one read of the reply returns.
ExchangeOutcome SendAttachRequest(const uint8_t* bytes, int32_t length, int32_t width, int32_t height,
                                  int32_t refresh, std::FILE* out);

// Asks the driver to remove a display and prints its answer; waits as
// SendAttachRequest does.
ExchangeOutcome SendRemoveRequest(std::FILE* out);

// A host's exchange: telling apart what was not sent from what was sent but
// not answered.
enum class HostExchangeStop {
  // Nothing reached the driver.
  kNoDriver,       // nothing serves the pipe
  kConnectFailed,  // `error_code`
  kBusy,           // the pipe stayed busy for kBusyPipeWaitMs
  kNotTaken,       // the driver closed the connection before taking a byte
  kNotTakenInTime, // the driver took no byte within kReplyWaitMs
  // Something reached the driver; it may have acted on it.
  kPartlyTaken,    // `count` bytes of the request were taken
  kShortReply,     // `count` bytes of the reply came, then the end or the deadline
  kMalformedReply, // a whole reply with the wrong magic or markers
  kClosed,         // the driver closed the connection without a byte of reply
  kNoReply,        // no byte of reply within kReplyWaitMs
  kAccepted,       // `status`
};

struct HostExchangeOutcome {
  HostExchangeStop stop;
  int32_t error_code;
  int32_t count;
  int32_t status;
};

// Sends `request` and reads the whole reply, each within kReplyWaitMs, after
// waiting up to kBusyPipeWaitMs for a busy pipe. Prints nothing.
HostExchangeOutcome ExchangeForHost(const DriverRequest& request);

// Where the driver is looked for, as this platform names it: the pipe name,
// or the socket path the pipe name stands for.
std::string DriverEndpoint();
