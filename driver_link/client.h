// The client side of the exchange with the display driver: one request, one reply.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// How an exchange ended, for callers that act on it rather than print it.
enum class ExchangeResult {
  kNoDriver,       // nothing serves the pipe
  kConnectFailed,  // the pipe is there, the connect failed: `error_code`
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
// nothing when `out` is null.
ExchangeOutcome SendAttachRequest(const uint8_t* bytes, int32_t length, int32_t width, int32_t height,
                                  int32_t refresh, std::FILE* out);

// Asks the driver to remove a display and prints its answer.
ExchangeOutcome SendRemoveRequest(std::FILE* out);

// Where the driver is looked for, as this platform names it: the pipe name,
// or the socket path the pipe name stands for.
std::string DriverEndpoint();
