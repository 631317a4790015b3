// velmorin-control: a window for people who do not script. It attaches a
// display of ours in the mode picked, removes it, puts the desk back, and
// lists the displays, through the same desk commands velmorin-display runs.
#pragma once

#include <cstdint>

// The ids of the controls a test reads: the window's own numbering.
inline constexpr int32_t kControlFirstId = 100;
inline constexpr int32_t kControlDisplaysId = 112;
inline constexpr int32_t kControlDriverId = 115;
inline constexpr int32_t kControlStatusId = 116;

// Shows the window and runs it until it is closed; 0, or 1 when it could not be shown.
int RunControlWindow();
