#include <csignal>

#include "platform/console.h"

Console StandardConsole() { return Console{stdout, stderr}; }

void PrepareProcess() {
  // A reader that goes away (a closed pipe, the driver's socket) must turn
  // writes into errors, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
}
