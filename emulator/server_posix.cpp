#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "emulator/server.h"

namespace {

// Where the tool looks for the driver's pipe on POSIX systems.
constexpr char kSocketPath[] = "/tmp/kovra_idd_pipe";

int listener = -1;
int client = -1;

void RemoveSocketAndExit(int) {
  unlink(kSocketPath);
  _exit(0);
}

bool BindSocket(std::string* error) {
  listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, kSocketPath, sizeof address.sun_path - 1);
  unlink(kSocketPath);  // a socket file left by an earlier run
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *error = std::string("cannot bind ") + kSocketPath + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool ServerSupportsOption(const std::string& option) {
  return option != "--busy" && option != "--inbound-only";
}

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
  unlink(kSocketPath);
}

void AbandonServer() { unlink(kSocketPath); }

bool OccupyServer(std::string* error) {
  *error = "--busy is not supported on this platform";
  return false;
}

bool LeaveStaleServer(std::string* error) {
  if (!BindSocket(error)) return false;
  close(listener);  // never listened on: a client's connect is refused
  return true;
}
