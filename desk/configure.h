// Bringing one display where a command asks: on the desk, in its mode, HDR
// as wished, then primary or the only one.
#pragma once

#include <string>

#include "desk/session.h"
#include "edid/edid_image.h"
#include "layout/display_list.h"

struct Configured {
  std::string failure;       // empty when done; else what failed, as a line's start
  DisplayRecord shown;       // the display as it ends
  std::string layout_words;  // "layout unchanged", "added to the desk", "the primary display", ...
  std::string hdr_words;     // "HDR off (it cannot do HDR here)" when the wish for HDR was not met
};

// True when `record` runs `mode`: its size, and a rate within 0.5 Hz.
bool RunsMode(const DisplayRecord& record, const DisplayMode& mode);

// HDR is a wish: a display that cannot do it, or a switch that does not
// take, leaves it as it is, with a warning in the session. Anything else
// that fails stops at once; putting things back is the caller's.
Configured ConfigureDisplay(Session& session, const std::string& device_path);
