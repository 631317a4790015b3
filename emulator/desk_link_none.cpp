#include "emulator/desk_link.h"

// Built where the display model is not: --desk is refused before it is used.
bool DeskLinkSupported() { return false; }

std::string ConnectOurDisplay(const std::string& /*desk_file*/, const DriverRequest& /*request*/) {
  return "the display model is not built here";
}

std::string DisconnectOurDisplay(const std::string& /*desk_file*/) { return "the display model is not built here"; }
