#include <string>
#include <vector>

#include "platform/display_config.h"

namespace {

DisplayCallResult NoDisplayConfig() { return {DisplayCallStatus::kNoDisplayConfig, 0}; }

}  // namespace

DisplayCallResult ReadDisplayConfig(DisplayConfig* /*config*/) { return NoDisplayConfig(); }

DisplayCallResult ApplyDisplayConfig(const DisplayConfig& /*config*/) { return NoDisplayConfig(); }

DisplayCallResult ApplyRememberedDisplayConfig() { return NoDisplayConfig(); }

DisplayCallResult ChangeSourceModes(const std::vector<SourceModeChange>& /*changes*/) { return NoDisplayConfig(); }

DisplayCallResult ListOfferedModes(const std::string& /*gdi_name*/, std::vector<OfferedMode>* /*modes*/) {
  return NoDisplayConfig();
}

DisplayCallResult SetMonitorHdr(const AdapterId& /*adapter*/, uint32_t /*target_id*/, bool /*on*/) {
  return NoDisplayConfig();
}
