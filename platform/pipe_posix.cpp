#include <cerrno>
#include <cstring>
#include <string>

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

}  // namespace

std::string PipeEndpoint(const char* name) { return DriverSocketPath(name); }

bool WaitForPipe(const char* name) {
  struct stat status {};
  return stat(DriverSocketPath(name).c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

bool ConnectToPipe(const char* name, PipeConnection* connection, int32_t* error_code) {
  const std::string path = DriverSocketPath(name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *error_code = ENAMETOOLONG;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error_code = errno;
    return false;
  }
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error_code = errno;
    close(fd);
    return false;
  }
  if (!IsTrustedServer(fd)) {
    *error_code = EACCES;  // like a connect that was not allowed; nothing is written
    close(fd);
    return false;
  }
  connection->handle = fd;
  return true;
}

void WriteToPipe(PipeConnection connection, const uint8_t* data, size_t size) {
  size_t sent = 0;
  while (sent < size) {
    const ssize_t written = send(Descriptor(connection), data + sent, size - sent, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    sent += static_cast<size_t>(written);
  }
}

int32_t ReadFromPipe(PipeConnection connection, uint8_t* data, size_t size) {
  ssize_t got = 0;
  do {
    got = read(Descriptor(connection), data, size);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? 0 : static_cast<int32_t>(got);
}

void ClosePipe(PipeConnection connection) { close(Descriptor(connection)); }
