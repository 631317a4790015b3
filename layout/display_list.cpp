#include "layout/display_list.h"

#include "edid/base_block.h"
#include "layout/lookup.h"

namespace {

bool IsDecimal(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::vector<DisplayRecord> ListDisplays(const DisplayConfig& config) {
  std::vector<DisplayRecord> records;
  // Windows lists every path a target could take, the active one first: the
  // first path seen for a target is the one that describes it.
  std::vector<const DisplayPath*> seen;
  for (const DisplayPath& path : config.paths) {
    bool listed = false;
    for (const DisplayPath* other : seen) {
      listed = listed || (other->target_adapter == path.target_adapter && other->target_id == path.target_id);
    }
    if (listed) continue;
    seen.push_back(&path);
    if (!path.target_available) continue;

    DisplayRecord record{};
    record.adapter = path.target_adapter;
    record.target_id = path.target_id;
    if (const MonitorTarget* monitor = MonitorOfTarget(config, path.target_adapter, path.target_id)) {
      record.monitor_name = monitor->monitor_name;
      record.edid_ids_valid = monitor->edid_ids_valid;
      if (monitor->edid_ids_valid) {
        record.manufacturer = monitor->manufacturer;
        record.product_code = monitor->product_code;
      }
      record.device_path = monitor->device_path;
      record.hdr_supported = monitor->hdr_supported;
      record.hdr_on = monitor->hdr_on;
    }
    record.active = IsActive(path);
    if (record.active) {
      record.gdi_name = GdiNameOf(config, path.source_adapter, path.source_id);
      record.refresh = PathRefresh(config, path);
      if (const DisplayConfigMode* source = ModeOf(config, path.source_mode, ModeKind::kSource)) {
        record.x = source->x;
        record.y = source->y;
        record.width = source->width;
        record.height = source->height;
        // A source with no desktop area (Wine gives one for a second X
        // screen it does not draw) is not the desktop's origin.
        record.primary = source->x == 0 && source->y == 0 && source->width != 0 && source->height != 0;
      }
    }
    records.push_back(record);
  }
  return records;
}

bool SameMonitor(const DisplayRecord& a, const DisplayRecord& b) {
  if (!a.device_path.empty() || !b.device_path.empty()) return SameName(a.device_path, b.device_path);
  return a.adapter == b.adapter && a.target_id == b.target_id;
}

bool IsOurs(const DisplayRecord& record) { return record.monitor_name == kIdentityName; }

int32_t CountOurs(const std::vector<DisplayRecord>& records) {
  int32_t count = 0;
  for (const DisplayRecord& record : records) count += IsOurs(record) ? 1 : 0;
  return count;
}

int32_t CountActive(const std::vector<DisplayRecord>& records) {
  int32_t count = 0;
  for (const DisplayRecord& record : records) count += record.active ? 1 : 0;
  return count;
}

int32_t FindDisplay(const std::vector<DisplayRecord>& records, const std::string& which) {
  if (which.empty()) return -1;
  const std::string gdi_name = IsDecimal(which) ? "\\\\.\\DISPLAY" + which : which;
  for (size_t i = 0; i < records.size(); ++i) {
    const DisplayRecord& record = records[i];
    if (SameName(record.gdi_name, gdi_name) || SameName(record.device_path, which)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t FindNewDisplay(const std::vector<DisplayRecord>& before, const std::vector<DisplayRecord>& after) {
  int32_t found = -1;
  for (size_t i = 0; i < after.size(); ++i) {
    if (!IsOurs(after[i])) continue;
    bool listed = false;
    for (const DisplayRecord& old : before) listed = listed || SameMonitor(old, after[i]);
    if (listed) continue;
    if (after[i].active) return static_cast<int32_t>(i);
    if (found < 0) found = static_cast<int32_t>(i);
  }
  return found;
}

std::string FormatRefresh(const Rational& refresh) {
  if (!IsSpecified(refresh)) return "unspecified";
  const uint64_t millihertz = (uint64_t{refresh.numerator} * 1000 + refresh.denominator / 2) / refresh.denominator;
  const std::string fraction = std::to_string(millihertz % 1000);
  return std::to_string(millihertz / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction;
}
