#include "platform/display_config_rules.h"

#include <vector>

namespace {

// The 16-bit halves of the virtual-mode convention hold 0xFFFF for "none".
constexpr int32_t kLargestHalfIndex = 0xFFFE;

// The new number of the mode `index` refers to, taken into `applied` when
// it is first referred to; false when there is no such mode.
bool Renumber(const DisplayConfig& config, int32_t* index, std::vector<int32_t>* renumbered, DisplayConfig* applied) {
  if (*index == kNoModeIndex) return true;
  if (*index < 0 || static_cast<size_t>(*index) >= config.modes.size()) return false;
  int32_t& number = (*renumbered)[static_cast<size_t>(*index)];
  if (number == kNoModeIndex) {
    number = static_cast<int32_t>(applied->modes.size());
    applied->modes.push_back(config.modes[static_cast<size_t>(*index)]);
  }
  *index = number;
  return true;
}

bool FitsHalf(int32_t index) { return index <= kLargestHalfIndex; }

}  // namespace

std::string ManufacturerFromWindowsId(uint16_t windows_id) {
  const uint32_t word = static_cast<uint32_t>((windows_id & 0xFF) << 8 | windows_id >> 8);
  std::string letters;
  for (const int shift : {10, 5, 0}) {
    const uint32_t value = (word >> shift) & 0x1F;
    letters += value >= 1 && value <= 26 ? static_cast<char>('A' + value - 1) : '?';
  }
  return letters;
}

bool PlanDisplayApply(const DisplayConfig& config, DisplayConfig* applied, uint32_t* flags) {
  DisplayConfig plan{};
  plan.virtual_mode_aware = config.virtual_mode_aware;
  std::vector<int32_t> renumbered(config.modes.size(), kNoModeIndex);
  bool leaves_modes_to_windows = false;
  for (const DisplayPath& path : config.paths) {
    if ((path.flags & kPathActive) == 0) continue;
    DisplayPath kept = path;
    const bool virtual_mode = (path.flags & kPathVirtualMode) != 0;
    if (virtual_mode && !config.virtual_mode_aware) return false;
    if (!virtual_mode) {
      // Only the virtual-mode convention carries these.
      kept.clone_group = kNoModeIndex;
      kept.desktop_mode = kNoModeIndex;
    }
    for (int32_t* index : {&kept.source_mode, &kept.target_mode, &kept.desktop_mode}) {
      if (!Renumber(config, index, &renumbered, &plan)) return false;
    }
    if (virtual_mode && !(FitsHalf(kept.source_mode) && FitsHalf(kept.target_mode) && FitsHalf(kept.desktop_mode) &&
                          FitsHalf(kept.clone_group) && kept.clone_group >= kNoModeIndex)) {
      return false;
    }
    if (kept.source_mode == kNoModeIndex || kept.target_mode == kNoModeIndex) leaves_modes_to_windows = true;
    plan.paths.push_back(kept);
  }
  if (plan.paths.empty()) return false;
  *flags = kApplySuppliedConfig | (plan.virtual_mode_aware ? kApplyVirtualModeAware : 0) |
           (leaves_modes_to_windows ? kApplyAllowChanges : 0);
  *applied = std::move(plan);
  return true;
}

std::string ChooseStateFolder(const char* state_dir, const char* xdg_state_home, const char* home) {
  if (state_dir != nullptr && state_dir[0] != '\0') return state_dir;
  if (xdg_state_home != nullptr && xdg_state_home[0] == '/') return std::string(xdg_state_home) + "/velmorin";
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/state/velmorin";
  return "";
}
