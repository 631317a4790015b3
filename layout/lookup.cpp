#include "layout/lookup.h"

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

const DisplayConfigMode* ModeOf(const DisplayConfig& config, int32_t index, ModeKind kind) {
  if (index < 0 || static_cast<size_t>(index) >= config.modes.size()) return nullptr;
  const DisplayConfigMode& mode = config.modes[static_cast<size_t>(index)];
  return mode.kind == kind ? &mode : nullptr;
}

DisplayConfigMode* ModeOf(DisplayConfig& config, int32_t index, ModeKind kind) {
  return const_cast<DisplayConfigMode*>(ModeOf(static_cast<const DisplayConfig&>(config), index, kind));
}

const MonitorTarget* MonitorOfTarget(const DisplayConfig& config, const AdapterId& adapter, uint32_t target_id) {
  for (const MonitorTarget& monitor : config.monitors) {
    if (monitor.adapter == adapter && monitor.target_id == target_id) return &monitor;
  }
  return nullptr;
}

const MonitorTarget* MonitorByPath(const DisplayConfig& config, const std::string& device_path) {
  if (device_path.empty()) return nullptr;
  for (const MonitorTarget& monitor : config.monitors) {
    if (SameName(monitor.device_path, device_path)) return &monitor;
  }
  return nullptr;
}

int32_t ActivePathTo(const DisplayConfig& config, const AdapterId& adapter, uint32_t target_id) {
  for (size_t i = 0; i < config.paths.size(); ++i) {
    const DisplayPath& path = config.paths[i];
    if (IsActive(path) && path.target_adapter == adapter && path.target_id == target_id) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

std::string GdiNameOf(const DisplayConfig& config, const AdapterId& adapter, uint32_t source_id) {
  for (const DisplaySource& source : config.sources) {
    if (source.adapter == adapter && source.source_id == source_id) return source.gdi_name;
  }
  return std::string();
}

Rational PathRefresh(const DisplayConfig& config, const DisplayPath& path) {
  const DisplayConfigMode* target = ModeOf(config, path.target_mode, ModeKind::kTarget);
  if (target != nullptr && IsSpecified(target->v_sync)) return target->v_sync;
  return path.refresh;
}
