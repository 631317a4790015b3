#include <algorithm>
#include <string>
#include <vector>

#include "desk_model/desk_model.h"

namespace {

// Device paths are Windows names: letters match in any case.
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool Connected(const ModelMonitor& monitor) { return monitor.arrives_at_ms == 0; }

bool Offers(const ModelMonitor& monitor, const ModelMode& mode) {
  return std::find(monitor.modes.begin(), monitor.modes.end(), mode) != monitor.modes.end();
}

int64_t Right(const ModelMonitor& m) { return int64_t{m.x} + m.mode.width; }
int64_t Bottom(const ModelMonitor& m) { return int64_t{m.y} + m.mode.height; }

bool Overlap(const ModelMonitor& a, const ModelMonitor& b) {
  return a.x < Right(b) && b.x < Right(a) && a.y < Bottom(b) && b.y < Bottom(a);
}

int32_t LowestFreeSource(const DeskModel& model) {
  for (int32_t source = 0;; ++source) {
    bool taken = false;
    for (const ModelMonitor& m : model.monitors) taken = taken || (m.active && m.source == source);
    if (!taken) return source;
  }
}

uint32_t LowestFreeTarget(const DeskModel& model) {
  for (uint32_t target = 0;; ++target) {
    bool taken = false;
    for (const ModelMonitor& m : model.monitors) taken = taken || m.target == target;
    if (!taken) return target;
  }
}

void Deactivate(ModelMonitor& monitor) {
  monitor.active = false;
  monitor.source = kNoModelSource;
}

// The connected monitors' paths, as a set.
bool IsSet(const std::vector<std::string>& set, const DeskModel& model) {
  size_t connected = 0;
  for (const ModelMonitor& m : model.monitors) {
    if (!Connected(m)) continue;
    ++connected;
    bool listed = false;
    for (const std::string& path : set) listed = listed || SamePath(path, m.path);
    if (!listed) return false;
  }
  return connected == set.size();
}

// Applies the layout remembered for the connected set; false when there is none.
bool ApplyRememberedFor(DeskModel* model) {
  for (const RememberedLayout& remembered : model->remembered) {
    if (!IsSet(remembered.set, *model)) continue;
    for (ModelMonitor& m : model->monitors) {
      if (!Connected(m)) continue;
      Deactivate(m);
      for (const ModelPlacement& place : remembered.layout) {
        if (!SamePath(place.path, m.path) || !place.active) continue;
        m.active = true;
        m.mode = place.mode;
        m.x = place.x;
        m.y = place.y;
      }
    }
    for (ModelMonitor& m : model->monitors) {
      if (m.active && m.source == kNoModelSource) m.source = LowestFreeSource(*model);
    }
    return true;
  }
  return false;
}

// Windows always keeps a primary: with no active display left, the first
// connected monitor lights at 0,0 in its first mode; with none at 0,0, the
// desktop moves so that the first active one is there.
void KeepAPrimary(DeskModel* model) {
  ModelMonitor* first_active = nullptr;
  bool origin = false;
  for (ModelMonitor& m : model->monitors) {
    if (!m.active) continue;
    if (first_active == nullptr) first_active = &m;
    origin = origin || (m.x == 0 && m.y == 0);
  }
  if (first_active == nullptr) {
    for (ModelMonitor& m : model->monitors) {
      if (!Connected(m) || m.modes.empty()) continue;
      m.active = true;
      m.mode = m.modes.front();
      m.x = 0;
      m.y = 0;
      m.source = LowestFreeSource(*model);
      return;
    }
    return;
  }
  if (origin) return;
  const int32_t dx = first_active->x;
  const int32_t dy = first_active->y;
  for (ModelMonitor& m : model->monitors) {
    if (!m.active) continue;
    m.x -= dx;
    m.y -= dy;
  }
}

// A monitor that has just arrived: the remembered layout of the new set,
// else active to the right of the rightmost display in its first mode.
void Arrive(DeskModel* model, size_t index, bool inactive) {
  if (!inactive && ApplyRememberedFor(model)) return;
  ModelMonitor& arrived = model->monitors[index];
  Deactivate(arrived);
  if (inactive || arrived.modes.empty()) return;
  const ModelMonitor* rightmost = nullptr;
  for (const ModelMonitor& m : model->monitors) {
    if (m.active && (rightmost == nullptr || Right(m) > Right(*rightmost))) rightmost = &m;
  }
  arrived.mode = arrived.modes.front();
  arrived.x = rightmost == nullptr ? 0 : static_cast<int32_t>(Right(*rightmost));
  arrived.y = rightmost == nullptr ? 0 : rightmost->y;
  arrived.source = LowestFreeSource(*model);
  arrived.active = true;
}

std::string PathOfOurs(uint32_t connector) {
  return "\\\\?\\DISPLAY#KVR0000#1&2b3c4d&0&UID" + std::to_string(256 + connector) +
         "#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
}

}  // namespace

uint32_t SourceCount(const DeskModel& model) {
  return std::max<uint32_t>(kModelSources, static_cast<uint32_t>(model.monitors.size()));
}

bool ParseModelMode(const std::string& text, ModelMode* mode) {
  uint32_t parts[3] = {};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t start = at;
    uint64_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= 65535) {
      value = value * 10 + static_cast<uint64_t>(text[at++] - '0');
    }
    if (at == start || value == 0 || value > (i == 2 ? 10000u : 65535u)) return false;
    parts[i] = static_cast<uint32_t>(value);
    if (i < 2 && (at >= text.size() || text[at++] != 'x')) return false;
  }
  if (at != text.size()) return false;
  *mode = ModelMode{parts[0], parts[1], parts[2]};
  return true;
}

std::string FormatModelMode(const ModelMode& mode) {
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" + std::to_string(mode.refresh);
}

std::string CheckDesk(const std::vector<ModelMonitor>& monitors) {
  std::vector<const ModelMonitor*> active;
  for (const ModelMonitor& m : monitors) {
    if (m.active) active.push_back(&m);
  }
  if (active.empty()) return "no display would be active";
  int32_t primaries = 0;
  for (const ModelMonitor* m : active) {
    if (!Offers(*m, m->mode)) return m->path + " does not offer " + FormatModelMode(m->mode);
    primaries += m->x == 0 && m->y == 0 ? 1 : 0;
    for (const ModelMonitor* other : active) {
      if (other != m && Overlap(*m, *other)) return m->path + " overlaps " + other->path;
    }
  }
  if (primaries != 1) return std::to_string(primaries) + " displays would be at 0,0";
  return std::string();
}

void SettleIds(DeskModel* model) {
  for (ModelMonitor& m : model->monitors) {
    if (m.target == UINT32_MAX) m.target = LowestFreeTarget(*model);
  }
  for (ModelMonitor& m : model->monitors) {
    if (!m.active) m.source = kNoModelSource;
    if (m.active && m.source == kNoModelSource) m.source = LowestFreeSource(*model);
  }
}

void AdvanceDeskModel(DeskModel* model, int64_t now_ms) {
  for (size_t i = 0; i < model->monitors.size(); ++i) {
    ModelMonitor& m = model->monitors[i];
    if (m.arrives_at_ms == 0 || m.arrives_at_ms > now_ms) continue;
    m.arrives_at_ms = 0;
    Arrive(model, i, model->arrival == ModelArrival::kInactive);
  }
}

bool AttachOurMonitor(DeskModel* model, const std::vector<ModelMode>& modes, int64_t now_ms) {
  if (model->arrival == ModelArrival::kNever || modes.empty()) return false;
  // The driver's connectors: the lowest free one, as a driver reuses them.
  uint32_t connector = 0;
  for (bool taken = true; taken; connector += taken ? 1 : 0) {
    taken = false;
    for (const ModelMonitor& m : model->monitors) taken = taken || SamePath(m.path, PathOfOurs(connector));
  }
  ModelMonitor monitor{};
  monitor.path = PathOfOurs(connector);
  monitor.name = "KovraMonitor";
  monitor.ours = true;
  monitor.modes = modes;
  monitor.target = LowestFreeTarget(*model);
  monitor.source = kNoModelSource;
  // Time zero means "here": a due time is never 0.
  monitor.arrives_at_ms = std::max<int64_t>(now_ms + model->arrival_ms, 1);
  model->monitors.push_back(monitor);
  if (model->arrival_ms == 0) AdvanceDeskModel(model, now_ms + 1);
  return true;
}

bool DetachNewestOfOurs(DeskModel* model) {
  for (size_t i = model->monitors.size(); i-- > 0;) {
    if (!model->monitors[i].ours) continue;
    const bool arrived = Connected(model->monitors[i]);
    model->monitors.erase(model->monitors.begin() + static_cast<std::ptrdiff_t>(i));
    if (arrived && !ApplyRememberedFor(model)) KeepAPrimary(model);
    return true;
  }
  return false;
}

void ApplyRememberedLayout(DeskModel* model) {
  if (!ApplyRememberedFor(model)) KeepAPrimary(model);
}
