#include "app/dispatch.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  PrepareProcess();
  // Whatever happens inside a command, the tool ends with status 0.
  try {
    return RunCommandLine(argc, argv, StandardConsole());
  } catch (...) {
    return 0;
  }
}
