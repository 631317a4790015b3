// The displays the driver attaches, as Windows would come to list them:
// with --desk FILE an accepted attach connects a display of ours in the
// display model that velmorin-display-model reads, and an accepted remove
// disconnects the newest one.
#pragma once

#include <string>

#include "driver_link/messages.h"

// False where the emulator is built without the display model.
bool DeskLinkSupported();

// A display of ours for an accepted attach, offering the mode asked and the
// modes its EDID lists. Empty string, or what went wrong with the file.
std::string ConnectOurDisplay(const std::string& desk_file, const DriverRequest& request);

// The newest display of ours goes, for an accepted remove.
std::string DisconnectOurDisplay(const std::string& desk_file);
