// velmorin-display: sees the displays of ours in Windows' display
// configuration, waits for the one an attach adds, makes it the stream's
// display, and puts the desk back afterwards. The commands themselves live
// below it, shared with the control window; this is their console.
#pragma once

#include "platform/console.h"

// Runs the whole program; returns its exit status.
int RunDisplay(int argc, char** argv, const Console& console);
