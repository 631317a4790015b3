#include "layout/arrange.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "layout/display_list.h"
#include "layout/lookup.h"
#include "layout/mode_choice.h"

namespace {

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t ActivePathOfMonitor(const DisplayConfig& layout, const std::string& device_path) {
  const MonitorTarget* monitor = MonitorByPath(layout, device_path);
  return monitor == nullptr ? -1 : ActivePathTo(layout, monitor->adapter, monitor->target_id);
}

std::string NotActive(const std::string& device_path) { return device_path + " is not an active display"; }

// A source's desktop area while the positions are worked out.
struct Box {
  int64_t x;
  int64_t y;
  int64_t width;
  int64_t height;
  int32_t mode;  // its source mode
};

// How far apart two spans of one axis lie: above 0 a gap, 0 touching, below 0 overlapping.
int64_t Gap(int64_t start, int64_t size, int64_t other_start, int64_t other_size) {
  return std::max(other_start - (start + size), start - (other_start + other_size));
}

int64_t GapX(const Box& a, const Box& b) { return Gap(a.x, a.width, b.x, b.width); }
int64_t GapY(const Box& a, const Box& b) { return Gap(a.y, a.height, b.y, b.height); }

bool Overlaps(const Box& a, const Box& b) { return GapX(a, b) < 0 && GapY(a, b) < 0; }

double Distance(const Box& a, const Box& b) {
  const double dx = static_cast<double>(std::max<int64_t>(GapX(a, b), 0));
  const double dy = static_cast<double>(std::max<int64_t>(GapY(a, b), 0));
  return dx * dx + dy * dy;
}

double DistanceFromOrigin(const Box& box) { return Distance(box, Box{0, 0, 0, 0, kNoModeIndex}); }

const Box* FirstOverlapping(const Box& box, const std::vector<Box>& placed) {
  for (const Box& other : placed) {
    if (Overlaps(box, other)) return &other;
  }
  return nullptr;
}

// Where a span that lies wholly before or beyond another along the other
// axis starts once its near edge lines up with the other's, so that the two
// share a stretch of edge; a span that already meets the other stays.
int64_t LineUp(int64_t start, int64_t size, int64_t other_start, int64_t other_size) {
  if (start >= other_start + other_size) return other_start + other_size - size;
  if (start + size <= other_start) return other_start;
  return start;
}

// Moves `box` towards the boxes already placed until it touches one, on the
// side of the nearest one that it lies on, then on past any it overlaps. A
// box that shares an edge with one and overlaps none has that one nearest,
// and stays.
void Place(Box& box, const std::vector<Box>& placed) {
  // The nearest one; of two as near, the one it lies more squarely beside.
  const Box* nearest = &placed.front();
  const auto squarely = [&](const Box& other) { return std::min(GapX(box, other), GapY(box, other)); };
  for (const Box& other : placed) {
    const double d = Distance(box, other);
    const double best = Distance(box, *nearest);
    if (d < best || (d == best && squarely(other) < squarely(*nearest))) nearest = &other;
  }
  const Box neighbour = *nearest;
  const bool sideways = GapX(box, neighbour) >= GapY(box, neighbour);
  const bool beyond =
      sideways ? 2 * box.x + box.width >= 2 * neighbour.x + neighbour.width : 2 * box.y + box.height >= 2 * neighbour.y + neighbour.height;
  const auto move_past = [&](const Box& other) {
    if (sideways) {
      box.x = beyond ? other.x + other.width : other.x - box.width;
    } else {
      box.y = beyond ? other.y + other.height : other.y - box.height;
    }
  };
  move_past(neighbour);
  if (sideways) {
    box.y = LineUp(box.y, box.height, neighbour.y, neighbour.height);
  } else {
    box.x = LineUp(box.x, box.width, neighbour.x, neighbour.width);
  }
  // Each step passes one placed box for good, so this ends.
  for (size_t step = 0; step <= placed.size(); ++step) {
    const Box* other = FirstOverlapping(box, placed);
    if (other == nullptr) break;
    move_past(*other);
  }
}

}  // namespace

DisplayConfig ActiveLayout(const DisplayConfig& config) {
  DisplayConfig layout{};
  layout.virtual_mode_aware = config.virtual_mode_aware;
  std::vector<int32_t> renumbered(config.modes.size(), kNoModeIndex);
  const auto keep = [&](int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= config.modes.size()) return kNoModeIndex;
    int32_t& kept = renumbered[static_cast<size_t>(index)];
    if (kept == kNoModeIndex) {
      kept = static_cast<int32_t>(layout.modes.size());
      layout.modes.push_back(config.modes[static_cast<size_t>(index)]);
    }
    return kept;
  };
  for (const DisplayPath& path : config.paths) {
    if (!IsActive(path)) continue;
    DisplayPath kept = path;
    kept.source_mode = keep(path.source_mode);
    kept.target_mode = keep(path.target_mode);
    kept.desktop_mode = keep(path.desktop_mode);
    layout.paths.push_back(kept);
  }
  for (const MonitorTarget& monitor : config.monitors) {
    if (ActivePathTo(layout, monitor.adapter, monitor.target_id) >= 0) layout.monitors.push_back(monitor);
  }
  for (const DisplaySource& source : config.sources) {
    bool used = false;
    for (const DisplayPath& path : layout.paths) {
      used = used || (path.source_adapter == source.adapter && path.source_id == source.source_id);
    }
    if (used) layout.sources.push_back(source);
  }
  return layout;
}

std::string MakePrimary(DisplayConfig& layout, const std::string& device_path) {
  const int32_t index = ActivePathOfMonitor(layout, device_path);
  if (index < 0) return NotActive(device_path);
  const DisplayConfigMode* origin =
      ModeOf(layout, layout.paths[static_cast<size_t>(index)].source_mode, ModeKind::kSource);
  if (origin == nullptr) return device_path + " has no desktop position yet";
  const int64_t dx = origin->x;
  const int64_t dy = origin->y;
  // Clones share their source mode: each is moved once.
  std::vector<int32_t> moved;
  for (const DisplayPath& path : layout.paths) {
    DisplayConfigMode* mode = ModeOf(layout, path.source_mode, ModeKind::kSource);
    if (!IsActive(path) || mode == nullptr || std::find(moved.begin(), moved.end(), path.source_mode) != moved.end()) {
      continue;
    }
    mode->x = ClampToInt32(mode->x - dx);
    mode->y = ClampToInt32(mode->y - dy);
    moved.push_back(path.source_mode);
  }
  return std::string();
}

std::string MakeOnly(DisplayConfig& layout, const std::string& device_path) {
  const int32_t index = ActivePathOfMonitor(layout, device_path);
  if (index < 0) return NotActive(device_path);
  for (size_t i = 0; i < layout.paths.size(); ++i) {
    if (i != static_cast<size_t>(index)) layout.paths[i].flags &= ~kPathActive;
  }
  if (DisplayConfigMode* source =
          ModeOf(layout, layout.paths[static_cast<size_t>(index)].source_mode, ModeKind::kSource)) {
    source->x = 0;
    source->y = 0;
  }
  layout = ActiveLayout(layout);
  return std::string();
}

std::string AddToDesk(DisplayConfig& layout, const DisplayConfig& all, const std::string& device_path) {
  const MonitorTarget* found = MonitorByPath(all, device_path);
  if (found == nullptr) return device_path + " is not connected";
  const MonitorTarget monitor = *found;
  if (ActivePathTo(layout, monitor.adapter, monitor.target_id) >= 0) return std::string();  // on the desk already
  for (const DisplayPath& path : all.paths) {
    if (!path.target_available || path.target_adapter != monitor.adapter || path.target_id != monitor.target_id)
      continue;
    bool used = false;
    for (const DisplayPath& active : layout.paths) {
      used = used ||
             (IsActive(active) && active.source_adapter == path.source_adapter && active.source_id == path.source_id);
    }
    if (used) continue;
    DisplayPath added = path;
    added.flags |= kPathActive;
    // No modes: Windows picks the monitor's preferred mode and a place for it.
    added.source_mode = kNoModeIndex;
    added.clone_group = kNoModeIndex;
    added.target_mode = kNoModeIndex;
    added.desktop_mode = kNoModeIndex;
    added.refresh = Rational{0, 0};
    layout.paths.push_back(added);
    if (MonitorOfTarget(layout, monitor.adapter, monitor.target_id) == nullptr) layout.monitors.push_back(monitor);
    return std::string();
  }
  return device_path + " has no free source on its adapter";
}

void RepackPositions(DisplayConfig& layout) {
  std::vector<Box> boxes;
  for (const DisplayPath& path : layout.paths) {
    const DisplayConfigMode* mode = ModeOf(layout, path.source_mode, ModeKind::kSource);
    if (!IsActive(path) || mode == nullptr) continue;  // without a mode, Windows places it
    bool listed = false;
    for (const Box& box : boxes) listed = listed || box.mode == path.source_mode;
    if (!listed) boxes.push_back(Box{mode->x, mode->y, mode->width, mode->height, path.source_mode});
  }
  if (boxes.empty()) return;

  // The primary stays where it is; without one, the source nearest the
  // origin moves there and takes the others with it.
  size_t anchor = 0;
  bool primary = false;
  for (size_t i = 0; i < boxes.size() && !primary; ++i) {
    primary = boxes[i].x == 0 && boxes[i].y == 0;
    if (primary) anchor = i;
  }
  const auto corner = [](const Box& box) {
    return static_cast<double>(box.x) * static_cast<double>(box.x) +
           static_cast<double>(box.y) * static_cast<double>(box.y);
  };
  for (size_t i = 1; i < boxes.size() && !primary; ++i) {
    const double d = DistanceFromOrigin(boxes[i]);
    const double best = DistanceFromOrigin(boxes[anchor]);
    if (d < best || (d == best && corner(boxes[i]) < corner(boxes[anchor]))) anchor = i;
  }
  const int64_t dx = boxes[anchor].x;
  const int64_t dy = boxes[anchor].y;
  for (Box& box : boxes) {
    box.x -= dx;
    box.y -= dy;
  }

  std::vector<Box> placed{boxes[anchor]};
  std::vector<Box> rest;
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (i != anchor) rest.push_back(boxes[i]);
  }
  std::stable_sort(rest.begin(), rest.end(),
                   [](const Box& a, const Box& b) { return DistanceFromOrigin(a) < DistanceFromOrigin(b); });
  for (Box& box : rest) {
    Place(box, placed);
    placed.push_back(box);
  }
  for (const Box& box : placed) {
    DisplayConfigMode& mode = layout.modes[static_cast<size_t>(box.mode)];
    mode.x = ClampToInt32(box.x);
    mode.y = ClampToInt32(box.y);
  }
}

namespace {

std::string Label(const DisplayRecord& record) {
  if (!record.gdi_name.empty()) return record.gdi_name;
  if (!record.device_path.empty()) return record.device_path;
  return "the monitor of target " + std::to_string(record.target_id);
}

// Which monitor: its device path, since monitors of ours share every other name.
std::string Identity(const DisplayRecord& record) {
  return record.device_path.empty() ? Label(record) : record.device_path;
}

std::string RateText(const Rational& refresh) {
  return IsSpecified(refresh) ? FormatRefresh(refresh) + " Hz" : "an unspecified rate";
}

const DisplayRecord* FindActive(const std::vector<DisplayRecord>& records, const DisplayRecord& record) {
  for (const DisplayRecord& other : records) {
    if (other.active && SameMonitor(other, record)) return &other;
  }
  return nullptr;
}

const DisplayRecord* FirstActiveMissing(const std::vector<DisplayRecord>& records,
                                        const std::vector<DisplayRecord>& from) {
  for (const DisplayRecord& record : records) {
    if (record.active && FindActive(from, record) == nullptr) return &record;
  }
  return nullptr;
}

}  // namespace

std::string CompareLayouts(const DisplayConfig& wanted, const DisplayConfig& got) {
  const std::vector<DisplayRecord> asked = ListDisplays(wanted);
  const std::vector<DisplayRecord> shown = ListDisplays(got);
  const DisplayRecord* missing = FirstActiveMissing(asked, shown);
  const DisplayRecord* extra = FirstActiveMissing(shown, asked);
  // Every monitor of ours has the same EDID ids: Windows may light another one.
  if (missing != nullptr && extra != nullptr) return Identity(*extra) + " is active instead of " + Identity(*missing);
  if (missing != nullptr) return Identity(*missing) + " is not active";
  if (extra != nullptr) return Identity(*extra) + " is active, which was not asked";
  for (const DisplayRecord& want : asked) {
    const DisplayRecord* have = want.active ? FindActive(shown, want) : nullptr;
    if (have == nullptr) continue;
    // A path given without modes leaves size and place to Windows.
    if (want.width != 0 || want.height != 0) {
      if (have->width != want.width || have->height != want.height) {
        return Label(*have) + " is " + std::to_string(have->width) + "x" + std::to_string(have->height) + ", not " +
               std::to_string(want.width) + "x" + std::to_string(want.height);
      }
      if (have->x != want.x || have->y != want.y) {
        return Label(*have) + " is at " + std::to_string(have->x) + "," + std::to_string(have->y) + ", not " +
               std::to_string(want.x) + "," + std::to_string(want.y);
      }
    }
    if (IsSpecified(want.refresh)) {
      const double hz = static_cast<double>(want.refresh.numerator) / static_cast<double>(want.refresh.denominator);
      if (!RefreshMatches(have->refresh, hz)) {
        return Label(*have) + " runs at " + RateText(have->refresh) + ", not " + RateText(want.refresh);
      }
    }
  }
  return std::string();
}
