// The saved layout on disk: the user's desk as it was before
// velmorin-display changed it, kept until a restore puts it back.
#pragma once

#include <string>

#include "platform/display_config.h"

// The file: saved-layout.txt in the state folder. Empty when there is no
// state folder.
std::string SavedDeskPath();

enum class DeskSave {
  kSaved,   // written now
  kKept,    // one saved earlier is kept: the first one is the user's desk
  kFailed,  // could not be written
};

// Saves `config`'s desk (its active layout) unless a layout is saved
// already. The file appears whole or not at all.
DeskSave SaveDeskOnce(const DisplayConfig& config);

enum class DeskRead { kNone, kRead, kUnreadable };

// Reads the saved layout. kUnreadable leaves `problem` saying why.
DeskRead ReadSavedDesk(DisplayConfig* layout, std::string* problem);

// Deletes the saved layout once it is back on the screens.
bool ForgetSavedDesk();
