// The saved desk on disk: the user's layout as it was before velmorin-display
// changed it, kept until a restore puts it back, and set aside, never
// lost, when it is stale or cannot be read.
#pragma once

#include <string>

#include "platform/display_config.h"

// The file: saved-layout.txt in the state folder. Empty when there is no
// state folder.
std::string SavedDeskPath();

enum class DeskSave {
  kSaved,     // written now
  kOursOnly,  // every active display is ours: that is no desk of the user's
  kFailed,    // could not be written
};

// Saves `config`'s desk (its active layout) as the user's. The file appears
// whole or not at all; one that is there is replaced.
DeskSave SaveDesk(const DisplayConfig& config);

enum class DeskRead { kNone, kRead, kUnreadable };

// Reads the saved layout. kUnreadable leaves `problem` saying why.
DeskRead ReadSavedDesk(DisplayConfig* layout, std::string* problem);

// Moves the saved layout aside as saved-layout-<UTC date and time>.txt
// beside it, keeping the five newest such files. The name it went to, or
// empty when it could not be moved.
std::string SetSavedDeskAside();

// Deletes the saved layout once it is back on the screens.
bool ForgetSavedDesk();

// The name of a set-aside desk for a UTC time in seconds since 1970:
// saved-layout-20261209T184705Z.txt.
std::string AsideName(int64_t unix_seconds);
