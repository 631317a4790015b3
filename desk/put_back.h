// Putting a layout back on the screens: the saved desk, or the desk as it
// was before a command that failed. Read again and compared afterwards,
// HDR included, never assumed.
#pragma once

#include <string>
#include <vector>

#include "desk/session.h"
#include "platform/display_config.h"

struct PutBackResult {
  std::string problem;                 // empty: the screens show the layout (the part that could be put back)
  std::vector<std::string> gone;       // monitors of the layout not connected now: left out
  std::vector<std::string> no_source;  // connected, but their adapter has no source left for them: left out
  bool nothing_connected;              // no monitor of the layout is connected (or it has none): nothing applied
};

// Puts `layout` (paths, modes and each monitor's HDR state) back on today's
// configuration. Displays that keep their places change modes alone; any
// other change goes through a whole apply, falling back to source modes
// alone when Windows refuses the saved target timings.
PutBackResult PutBackLayout(Session& session, const DisplayConfig& layout);

// Applies `layout` and checks that Windows shows it. Empty, or what went wrong.
std::string ApplyChecked(Session& session, const DisplayConfig& layout);
