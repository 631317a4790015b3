// The client end of the display driver's pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PipeConnection {
  intptr_t handle;
};

// The pipe `name` as this platform reaches it: the name itself, or the
// Unix-domain socket path it stands for.
std::string PipeEndpoint(const char* name);

// True when an instance of the pipe `name` exists and can be connected to.
bool WaitForPipe(const char* name);

// Connects to the pipe. On failure returns false with the platform's error
// code, captured at the failing call, in `error_code`.
bool ConnectToPipe(const char* name, PipeConnection* connection, int32_t* error_code);

// Writes all of `data`; a peer that has gone away makes it stop quietly.
void WriteToPipe(PipeConnection connection, const uint8_t* data, size_t size);

// One read of at most `size` bytes. Returns the number of bytes read, 0 when
// the peer closed or the read failed.
int32_t ReadFromPipe(PipeConnection connection, uint8_t* data, size_t size);

void ClosePipe(PipeConnection connection);
