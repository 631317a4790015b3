// The saved layout: the desk as it was before velmorin-display changed it,
// kept as text so that a restore, after a restart too, can put it back.
#pragma once

#include <string>

#include "platform/display_config.h"

// The text of `layout` (active paths, their modes, each monitor's device
// path and HDR state, the mode-index convention) for the computer
// `computer`, ending in a checksum over all of it.
std::string FormatSavedLayout(const DisplayConfig& layout, const std::string& computer);

// Reads a saved layout back. Empty string, or why it cannot be used
// (damaged, truncated, another computer's, another format): such a file
// is never applied in part.
std::string ParseSavedLayout(const std::string& text, const std::string& computer, DisplayConfig* layout);
