// velmorin-edid: writes an EDID file for the modes on its command line.
#pragma once

#include <string>

#include "host_attach/host_attach.h"
#include "platform/console.h"

// Exit statuses: those of a host's attach (host_attach.h).

// The file name the output path gets when it names a folder, or by default.
std::string DefaultFileName(const char* first_mode_text, bool text);

// Where the EDID goes: `output` null gives the default name in the current
// folder; a folder (existing, or a path ending in a separator) gets the
// default name inside it; anything else is the file itself.
std::string OutputPath(const char* output, const char* first_mode_text, bool text);

// The hexadecimal text form: 16 upper-case pairs a line, CR LF line ends.
// Its size is never a positive multiple of 128, so the loader reads it as text.
std::string FormatHexText(const uint8_t* bytes, int32_t size);

// Runs the whole program; returns its exit status.
int RunMaker(int argc, char** argv, const Console& console);
