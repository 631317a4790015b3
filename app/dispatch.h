// Choosing the command from the command line.
#pragma once

#include "platform/console.h"

// Runs the one command that argument 1 selects. Always returns 0.
int RunCommandLine(int argc, const char* const* argv, const Console& console);
