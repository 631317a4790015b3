// velmorin-display: sees the displays of ours in Windows' display
// configuration, waits for the one an attach adds, makes it the stream's
// display, and puts the desk back afterwards.
#pragma once

#include "host_attach/host_attach.h"
#include "platform/console.h"

// The driver accepted, but Windows did not show or drop the display within
// the wait, or a mode, HDR or layout could not be applied.
inline constexpr int kExitNotApplied = 6;
// This system has no Windows display configuration.
inline constexpr int kExitNoDisplayConfig = 7;

// Runs the whole program; returns its exit status.
int RunDisplay(int argc, char** argv, const Console& console);
