// The saved layout: the desk as it was before velmorin-display changed it,
// kept as text so that a restore, after a restart too, can put it back.
#pragma once

#include <string>

#include "platform/display_config.h"

// The text of `layout` (its paths as given: ActiveLayout of the desk; their
// modes; each monitor's device path and HDR state; the mode-index
// convention) for the computer `computer`, ending in a checksum over all of
// it. GDI names are left out: they are renumbered across restarts.
std::string FormatSavedLayout(const DisplayConfig& layout, const std::string& computer);

// Reads a saved layout back into `layout`, which is left as it was unless
// the whole text reads. Empty string, or why it cannot be used, worded to
// follow the file's name: "is damaged (its checksum does not match)",
// "is truncated (...)", "was saved on OTHER, not on this computer (THIS)",
// "is in format 2; ...". Such a file is never applied in part. The
// computer's name is compared ignoring case, as Windows does.
std::string ParseSavedLayout(const std::string& text, const std::string& computer, DisplayConfig* layout);
