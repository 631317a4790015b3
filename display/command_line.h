// The command line of velmorin-display.
#pragma once

#include <cstdint>
#include <string>

#include "desk/desk.h"

enum class DisplayVerb { kNone, kList, kAttach, kUse, kDetach, kRestore };

struct DisplayCommand {
  DisplayVerb verb;
  bool help;
  bool version;
  bool all;   // list --all, detach --all
  bool json;  // list --json
  DeskOrder order;
};

// Fills `command` from the arguments after the program name. Returns an
// empty string, or a one-line description of the usage error.
std::string ParseDisplayCommandLine(int argc, char** argv, DisplayCommand& command);
