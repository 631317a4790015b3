#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/console.h"

namespace {

bool g_output_was_closed = false;

}  // namespace

Console StandardConsole() { return Console{stdout, stderr}; }

void PrepareProcess() {
  // A reader that goes away (a closed pipe, the driver's socket) must turn
  // writes into errors, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
  // With a standard stream closed, the next file or socket opened would take
  // its number and receive the report. Park /dev/null there instead.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      if (fd == STDOUT_FILENO) g_output_was_closed = true;
      const int parked = open("/dev/null", O_RDWR);
      if (parked >= 0 && parked != fd) close(parked);
    }
  }
}

bool WriteBinary(std::FILE* stream, const uint8_t* bytes, size_t size) {
  return std::fwrite(bytes, 1, size, stream) == size && std::fflush(stream) == 0;
}

void EndProcessNow(int status) { std::_Exit(status); }

bool StandardOutputWasClosed() { return g_output_was_closed; }
