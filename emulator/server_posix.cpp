#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "driver_link/messages.h"
#include "emulator/server.h"
#include "platform/socket_path.h"

namespace {

// The path the tool looks at: VELMORIN_DRIVER_SOCKET, else /tmp/kovra_idd_pipe.
// Kept in a fixed buffer so that the signal handler can use it.
char socket_path[sizeof(sockaddr_un::sun_path)] = {};
// The socket file this process bound; only that one is ever removed again.
dev_t bound_device = 0;
ino_t bound_inode = 0;
bool bound = false;

int listener = -1;
int client = -1;
// The connections of our own that fill the listen backlog.
constexpr int kMostOwnConnections = 64;
int own_connections[kMostOwnConnections] = {};
int own_count = 0;

// Removes our socket file, but never one that somebody else has put there
// since. Safe in a signal handler.
void RemoveOwnSocket() {
  struct stat status {};
  if (bound && lstat(socket_path, &status) == 0 && status.st_dev == bound_device && status.st_ino == bound_inode)
    unlink(socket_path);
}

void RemoveSocketAndExit(int) {
  RemoveOwnSocket();
  _exit(0);
}

// Connects to the socket and hangs up at once: 0 when something answers,
// else the connect's error.
int ProbeSocket(const sockaddr_un& address) {
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return errno;
  const int result = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
  close(probe);
  return result;
}

// A live driver at the path is never taken over, and nothing but a socket is
// ever deleted. Only a socket that refuses the connect is known to be left
// from an earlier run, and goes; one that we may not even try (another user's)
// is left alone like a live one.
bool ClearStaleSocket(const sockaddr_un& address, std::string* error) {
  struct stat status {};
  if (lstat(socket_path, &status) != 0) return true;
  if (!S_ISSOCK(status.st_mode)) {
    *error = std::string(socket_path) + " exists and is not a socket; it is left alone";
    return false;
  }
  const int probe_error = ProbeSocket(address);
  if (probe_error == 0) {
    *error = std::string("a driver already answers at ") + socket_path + "; it is left alone";
    return false;
  }
  if (probe_error != ECONNREFUSED) {
    *error = std::string("cannot tell whether a driver answers at ") + socket_path + " (" +
             std::strerror(probe_error) + "); it is left alone";
    return false;
  }
  unlink(socket_path);
  return true;
}

bool BindSocket(std::string* error) {
  const std::string path = DriverSocketPath(kDriverPipeName);
  if (path.size() >= sizeof socket_path) {
    *error = "cannot serve " + path + ": a socket path has at most " + std::to_string(sizeof socket_path - 1) +
             " bytes";
    return false;
  }
  std::memcpy(socket_path, path.c_str(), path.size() + 1);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socket_path, sizeof socket_path);
  listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) {
    *error = std::string("cannot create a socket: ") + std::strerror(errno);
    return false;
  }
  if (!ClearStaleSocket(address, error)) return false;
  // Read and write for our own user only: nobody else may connect (root
  // always can).
  const mode_t old_mask = umask(0177);
  const bool bound_here = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const int bind_error = errno;
  umask(old_mask);
  if (!bound_here) {
    *error = std::string("cannot bind ") + socket_path + ": " + std::strerror(bind_error);
    return false;
  }
  struct stat status {};
  if (lstat(socket_path, &status) == 0) {
    bound_device = status.st_dev;
    bound_inode = status.st_ino;
    bound = true;
  }
  return true;
}

}  // namespace

bool ServerSupportsOption(const std::string& option) { return option != "--inbound-only"; }

bool OpenServer(bool, std::string* error) {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGTERM, RemoveSocketAndExit);
  std::signal(SIGINT, RemoveSocketAndExit);
  if (!BindSocket(error)) return false;
  if (listen(listener, 4) != 0) {
    *error = std::string("cannot listen: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool AcceptClient(std::string* error) {
  do {
    client = accept(listener, nullptr, nullptr);
  } while (client < 0 && errno == EINTR);
  if (client < 0) *error = std::string("accept failed: ") + std::strerror(errno);
  return client >= 0;
}

size_t ReadFromClient(uint8_t* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = recv(client, data + got, size - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

void WriteToClient(const uint8_t* data, size_t size) {
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = send(client, data + sent, size - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

void EndClient() {
  close(client);
  client = -1;
}

void CloseServer() {
  close(listener);
  RemoveOwnSocket();
}

void AbandonServer() { RemoveOwnSocket(); }

bool OccupyServer(std::string* error) {
  // Connections of our own that are never accepted fill the listen backlog:
  // a client's connect then waits, as at a busy pipe. They stay open until
  // the process ends.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socket_path, sizeof socket_path);
  while (own_count < kMostOwnConnections) {
    const int own = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (own < 0 || connect(own, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      const int connect_error = errno;
      if (own >= 0) close(own);
      if (connect_error == EAGAIN || connect_error == EWOULDBLOCK) return true;
      *error = std::string("cannot fill the backlog of ") + socket_path + ": " + std::strerror(connect_error);
      return false;
    }
    own_connections[own_count++] = own;
  }
  *error = std::string("the backlog of ") + socket_path + " never filled";
  return false;
}

void FreeServer() {
  // Closed, they stay queued until accepted: each accept frees a place, and
  // wakes a client whose connect waits for one.
  while (own_count > 0) close(own_connections[--own_count]);
}

bool LeaveStaleServer(std::string* error) {
  if (!BindSocket(error)) return false;
  close(listener);  // never listened on: a client's connect is refused
  return true;
}
