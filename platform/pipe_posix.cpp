#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/pipe.h"
#include "platform/socket_path.h"

namespace {

int Descriptor(PipeConnection connection) { return static_cast<int>(connection.handle); }

// The user the server behind `fd` runs as; false when the system will not say.
bool PeerUser(int fd, uid_t* user) {
#if defined(SO_PEERCRED)
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials) return false;
  *user = credentials.uid;
  return true;
#else
  gid_t group = 0;
  return getpeereid(fd, user, &group) == 0;
#endif
}

// Only a server of our own user or of root may hear what we send: anybody
// can create a socket at a path in a shared folder such as /tmp.
bool IsTrustedServer(int fd) {
  uid_t user = 0;
  return PeerUser(fd, &user) && (user == geteuid() || user == 0);
}

using Clock = std::chrono::steady_clock;

// Whole milliseconds left until `deadline`, at least 0.
int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

enum class Readiness { kReady, kTimedOut, kFailed };

// Waits until `fd` has one of `events` (or hung up or failed: the next call
// tells which), at most until `deadline`.
Readiness WaitUntilReady(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return Readiness::kTimedOut;
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, left);
    if (ready > 0) return Readiness::kReady;
    if (ready < 0 && errno != EINTR) return Readiness::kFailed;
  }
}

// True when a socket file is at `path`: something serves it, or once did.
bool IsSocketFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// One receive into `data`, waiting until `deadline` for something to come.
PipeTransfer ReceiveOnce(int fd, uint8_t* data, size_t size, Clock::time_point deadline) {
  for (;;) {
    const ssize_t got = recv(fd, data, size, MSG_DONTWAIT);
    if (got >= 0) return {static_cast<size_t>(got), false};
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return {0, false};  // reset, or failed
    const Readiness readiness = WaitUntilReady(fd, POLLIN, deadline);
    if (readiness != Readiness::kReady) return {0, readiness == Readiness::kTimedOut};
  }
}

void SetSendTimeout(int fd, int milliseconds) {
  const int limited = milliseconds > 0 ? milliseconds : 1;  // zero would mean no time-out at all
  const timeval limit{limited / 1000, static_cast<suseconds_t>(limited % 1000 * 1000)};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

}  // namespace

std::string PipeEndpoint(const char* name) { return DriverSocketPath(name); }

bool PipeExists(const char* name) {
  struct stat status {};
  return stat(DriverSocketPath(name).c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

void ClosePipe(PipeConnection connection) { close(Descriptor(connection)); }

PipeOpenResult OpenPipeWithin(const char* name, int32_t busy_ms, PipeConnection* connection, int32_t* error_code) {
  const std::string path = DriverSocketPath(name);
  if (!IsSocketFile(path)) return PipeOpenResult::kAbsent;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *error_code = ENAMETOOLONG;
    return PipeOpenResult::kFailed;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(busy_ms);
  for (;;) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      *error_code = errno;
      return PipeOpenResult::kFailed;
    }
    // A connect to a server whose backlog is full waits, on Linux for the
    // send time-out and no longer; elsewhere it may fail at once (retried
    // below until the deadline).
    SetSendTimeout(fd, MillisecondsLeft(deadline));
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      if (!IsTrustedServer(fd)) {
        *error_code = EACCES;  // like a connect that was not allowed; nothing is written
        close(fd);
        return PipeOpenResult::kFailed;
      }
      connection->handle = fd;
      return PipeOpenResult::kConnected;
    }
    const int error = errno;
    close(fd);
    if (error == ENOENT) return PipeOpenResult::kAbsent;
    if (error == EAGAIN || error == EINTR) {
      if (MillisecondsLeft(deadline) == 0) {
        *error_code = EAGAIN;  // what a connect to a full backlog answers
        return PipeOpenResult::kBusy;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    *error_code = error;
    return PipeOpenResult::kFailed;
  }
}

PipeTransfer WriteToPipeWithin(PipeConnection connection, const uint8_t* data, size_t size, int32_t timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  PipeTransfer done{0, false};
  while (done.count < size) {
    const ssize_t sent =
        send(Descriptor(connection), data + done.count, size - done.count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      done.count += static_cast<size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
    const Readiness readiness = WaitUntilReady(Descriptor(connection), POLLOUT, deadline);
    done.timed_out = readiness == Readiness::kTimedOut;
    if (readiness != Readiness::kReady) break;
  }
  return done;
}

PipeTransfer ReadFromPipeWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  PipeTransfer done{0, false};
  while (done.count < size) {
    const PipeTransfer part = ReceiveOnce(Descriptor(connection), data + done.count, size - done.count, deadline);
    done.count += part.count;
    done.timed_out = part.timed_out;
    if (part.count == 0) break;  // closed, reset, or out of time
  }
  return done;
}

PipeTransfer ReadOnceFromPipeWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms) {
  return ReceiveOnce(Descriptor(connection), data, size, Clock::now() + std::chrono::milliseconds(timeout_ms));
}
