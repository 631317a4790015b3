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

// True when the pipe `name` is there, looked for without connecting to it
// (its server never sees a client come and go); a busy one is there too.
bool PipeExists(const char* name);

// Every exchange with the driver must end whatever the driver does, and may
// need to know whether anything reached it: a connection takes only the timed
// calls below and ClosePipe.

enum class PipeOpenResult {
  kConnected,
  kAbsent,  // nothing serves the pipe
  kBusy,    // every instance stayed taken (on POSIX: the server's backlog stayed full)
  kFailed,  // the platform's error code says why
};

// Connects to the pipe `name`, retrying for up to `busy_ms` while it is busy.
// With kBusy and kFailed, `error_code` gets the platform's code for the cause
// (for kBusy: ERROR_PIPE_BUSY on Windows, EAGAIN on POSIX). On POSIX a server
// that runs as neither this user nor root is refused as EACCES before a byte
// is written.
PipeOpenResult OpenPipeWithin(const char* name, int32_t busy_ms, PipeConnection* connection, int32_t* error_code);

// How far a timed write or read got.
struct PipeTransfer {
  size_t count;    // bytes written or read
  bool timed_out;  // the time ran out, rather than the peer closing or failing
};

// Writes `data` within `timeout_ms`; stops early when the peer goes away.
PipeTransfer WriteToPipeWithin(PipeConnection connection, const uint8_t* data, size_t size, int32_t timeout_ms);

// Reads until `size` bytes came, the peer closed or failed, or `timeout_ms` passed.
PipeTransfer ReadFromPipeWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms);

// One read of at most `size` bytes, waiting at most `timeout_ms` for it:
// whatever that one read returns, however little; nothing when the peer
// closed, the read failed or the time ran out.
PipeTransfer ReadOnceFromPipeWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms);

void ClosePipe(PipeConnection connection);
