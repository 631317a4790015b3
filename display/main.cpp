#include "display/display_program.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  PrepareProcess();
  return RunDisplay(argc, argv, StandardConsole());
}
