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
  // for a clone pair), adapter ids patched in paths and modes alike. No
  // paths when no saved monitor can be put back.
  DisplayConfig layout;
  std::vector<std::string> gone;  // saved monitors not connected now: left out
  // Saved monitors connected now whose adapter has no source left for them
  // (monitors moved between adapters): left out too.
  std::vector<std::string> no_source;
  // The desk already is the saved layout, HDR states included.
  bool nothing_to_do;
  // The same monitors active from the same sources: no change of paths is
  // needed, only the sources in mode_changes (sizes, rates or places) and
  // the monitors in hdr_changes; either list may be empty.
  bool modes_only;
  std::vector<ModeRestore> mode_changes;
  std::vector<HdrRestore> hdr_changes;  // monitors put back only, and connected ones
};

RestorePlan PlanRestore(const DisplayConfig& saved, const DisplayConfig& now);
