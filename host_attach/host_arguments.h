// The arguments a streaming host passes to the programs that attach a monitor
// for it: a mode in the form "velmorin /d" reads from a file name, and
// switches given as the host's variables hold them.
#pragma once

#include <cstdint>
#include <string>

#include "edid/edid_image.h"

// One number of a mode: decimal digits only, no leading zero, at most six
// of them. Advances `p` past it.
bool ScanModeNumber(const char*& p, int32_t& value);

// Parses MODE in the form the attach command reads from a file name:
// positive decimal numbers without signs or leading zeros, joined by a
// lower-case 'x'. Returns an empty string or what is wrong.
std::string ParseModeText(const char* text, DisplayMode& mode);

// A switch's value as a host passes it on: true/false, 1/0, yes/no, on/off,
// in any case. False for anything else.
bool ParseSwitchValue(const char* text, bool& value);

// "--NAME=VALUE is not one of ...": the complaint for a bad switch value.
std::string SwitchValueProblem(const char* option, const char* value);
