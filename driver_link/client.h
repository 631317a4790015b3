// The client side of the exchange with the display driver: one request, one reply.
#pragma once

#include <cstdint>
#include <cstdio>

// Sends the first min(length, 256) of the `length` bytes at `bytes` with the
// display mode and prints the driver's answer.
void SendAttachRequest(const uint8_t* bytes, int32_t length, int32_t width, int32_t height, int32_t refresh,
                       std::FILE* out);

// Asks the driver to remove a display and prints its answer.
void SendRemoveRequest(std::FILE* out);
