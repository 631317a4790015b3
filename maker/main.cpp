#include "maker/maker.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  PrepareProcess();
  return RunMaker(argc, argv, StandardConsole());
}
