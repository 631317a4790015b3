// What the control window offers and says that is not the desk commands'
// own lines: the common modes, whether the driver is there, what a command
// waits for, the rows of the displays list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desk/desk.h"
#include "layout/display_list.h"

// The modes the Mode box lists, most common first.
std::vector<std::string> CommonModes();

// The driver line: whether the driver's pipe is there (looked for without
// connecting) and, when it is not, why Attach and Remove are off.
std::string DriverWords(bool present, const std::string& endpoint);

// "Waiting for Windows to show the new display: 8 s left"
std::string WaitingWords(const std::string& what, int32_t seconds_left);

// A command's outcome as the status line shows it: its warnings, then its
// line, each on a line of its own, in velmorin-display's words.
std::string OutcomeWords(const DeskOutcome& outcome);

// An active display's mode as a MODE to type: "2560x1440x144" for 143.973 Hz.
std::string ModeTextOf(const DisplayRecord& record);

// One display's row in the displays list: display, monitor, mode, position, primary, HDR.
std::vector<std::string> RowWords(const DisplayRecord& record);
