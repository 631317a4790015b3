// What a restore applies: a saved layout rebuilt on today's configuration.
#pragma once

#include <string>
#include <vector>

#include "platform/display_config.h"

// A source to put back in its mode and place through a change of modes alone.
struct ModeRestore {
  std::string gdi_name;  // today's name of the source
  uint32_t width;
  uint32_t height;
  Rational refresh;
  int32_t x;
  int32_t y;
};

// A monitor whose HDR state differs from the saved one.
struct HdrRestore {
  AdapterId adapter;  // today's
  uint32_t target_id;
  bool on;
};

struct RestorePlan {
  // The saved layout in today's ids: each saved device path mapped to the
  // target that shows it now, a free source of that adapter picked (one
  // for a clone pair), adapter ids patched in paths and modes alike.
  DisplayConfig layout;
  std::vector<std::string> gone;  // saved monitors not connected now: left out
  bool nothing_to_do;             // the desk already is the saved layout
  // The same monitors active from the same sources, only sizes, rates or
  // places differ: put back by a change of modes alone.
  bool modes_only;
  std::vector<ModeRestore> mode_changes;
  std::vector<HdrRestore> hdr_changes;
};

RestorePlan PlanRestore(const DisplayConfig& saved, const DisplayConfig& now);
