#include <windows.h>

#include "platform/console.h"

Console StandardConsole() { return Console{stdout, stderr}; }

void PrepareProcess() {
  // A failure must be reported on the console, never in a dialog box that
  // waits for somebody to click it.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}
