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
  // The same monitors active from the same sources, in the same places: no
  // change of paths is needed, only the sources in mode_changes (sizes and
  // rates) and
  // the monitors in hdr_changes; either list may be empty.
  bool modes_only;
  std::vector<ModeRestore> mode_changes;
  std::vector<HdrRestore> hdr_changes;  // monitors put back only, and connected ones
};

// A layout whose displays keep their places and sources is put back by a
// change of modes alone; any other goes through a whole apply, its positions
// re-packed so that one display lies at 0,0 when the saved primary is gone.
RestorePlan PlanRestore(const DisplayConfig& saved, const DisplayConfig& now);

// Empty when every active monitor of `saved` that `got` lists, and that can
// do HDR there, has the HDR state it was saved with; else what differs.
std::string CompareHdr(const DisplayConfig& saved, const DisplayConfig& got);
