// Windows' display-configuration calls answered from the model in the file
// VELMORIN_DESK_MODEL, with the error codes Windows gives: what lets every
// path of velmorin-display run end to end where there is no Windows.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "desk_model/model_file.h"
#include "desk_model/desk_model.h"
#include "platform/display_config.h"
#include "platform/display_config_rules.h"

namespace {

// Windows' codes, as the calls answer them.
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorGenFailure = 31;
constexpr int32_t kErrorNotSupported = 50;
constexpr int32_t kErrorInvalidParameter = 87;
constexpr int32_t kErrorInsufficientBuffer = 122;
constexpr int32_t kErrorInvalidData = 13;
constexpr int32_t kDispChangeFailed = -1;
constexpr int32_t kDispChangeBadMode = -2;

constexpr uint32_t kPixelFormat32Bpp = 4;
constexpr uint32_t kOutputDisplayPort = 10;
constexpr uint32_t kOutputIndirect = 0x80000000u;  // an indirect display's output technology
// Blanking the model gives every target mode: only the active size and the rate are compared.
constexpr uint32_t kBlankWidth = 160;
constexpr uint32_t kBlankHeight = 41;

DisplayCallResult Done() { return {DisplayCallStatus::kDone, 0}; }
DisplayCallResult Failed(int32_t code) { return {DisplayCallStatus::kFailed, code}; }
DisplayCallResult Denied() { return {DisplayCallStatus::kAccessDenied, kErrorAccessDenied}; }

// Runs `change` over the model file, or answers ERROR_INVALID_DATA after
// naming the trouble: a test that wrote a broken model must see why.
template <typename Change>
DisplayCallResult WithModel(Change&& change) {
  const char* path = std::getenv("VELMORIN_DESK_MODEL");
  if (path == nullptr || path[0] == '\0') {
    std::fprintf(stderr, "velmorin-display-model: VELMORIN_DESK_MODEL names no model file\n");
    return Failed(kErrorInvalidData);
  }
  DisplayCallResult result = Done();
  // Windows refusing access refuses every call alike.
  const std::string problem = UpdateDeskModel(path, [&](DeskModel* model) {
    if (model->access_denied) {
      result = Denied();
    } else {
      change(model, &result);
    }
  });
  if (!problem.empty()) {
    std::fprintf(stderr, "velmorin-display-model: %s\n", problem.c_str());
    return Failed(kErrorInvalidData);
  }
  return result;
}

AdapterId Adapter(const DeskModel& model) { return AdapterId{model.adapter, 0}; }

std::string GdiName(int32_t source) { return "\\\\.\\DISPLAY" + std::to_string(source + 1); }

Rational Rate(uint32_t hz) { return Rational{hz, 1}; }

DisplayPath PathOf(const DeskModel& model, const ModelMonitor& monitor, uint32_t source) {
  DisplayPath path{};
  path.source_adapter = Adapter(model);
  path.source_id = source;
  path.source_mode = kNoModeIndex;
  path.clone_group = kNoModeIndex;
  path.target_adapter = Adapter(model);
  path.target_id = monitor.target;
  path.target_mode = kNoModeIndex;
  path.desktop_mode = kNoModeIndex;
  path.output_technology = monitor.ours ? kOutputIndirect : kOutputDisplayPort;
  path.rotation = 1;
  path.scaling = 1;
  path.scanline_ordering = 1;
  path.target_available = true;
  return path;
}

DisplayConfigMode SourceMode(const DeskModel& model, const ModelMonitor& m) {
  DisplayConfigMode mode{};
  mode.kind = ModeKind::kSource;
  mode.id = static_cast<uint32_t>(m.source);
  mode.adapter = Adapter(model);
  mode.width = m.mode.width;
  mode.height = m.mode.height;
  mode.pixel_format = kPixelFormat32Bpp;
  mode.x = m.x;
  mode.y = m.y;
  return mode;
}

DisplayConfigMode TargetMode(const DeskModel& model, const ModelMonitor& m) {
  DisplayConfigMode mode{};
  mode.kind = ModeKind::kTarget;
  mode.id = m.target;
  mode.adapter = Adapter(model);
  mode.active_width = m.mode.width;
  mode.active_height = m.mode.height;
  mode.total_width = m.mode.width + kBlankWidth;
  mode.total_height = m.mode.height + kBlankHeight;
  mode.v_sync = Rate(m.mode.refresh);
  mode.pixel_rate = uint64_t{mode.total_width} * mode.total_height * m.mode.refresh;
  mode.h_sync = Rational{static_cast<uint32_t>(mode.pixel_rate / mode.total_width), 1};
  mode.video_standard = 255;
  mode.target_scanline_ordering = 1;
  return mode;
}

// QueryDisplayConfig(QDC_ALL_PATHS) of the plain convention, as Wine and
// Windows before 10 answer it: the active paths first, then every other
// source each monitor could take.
DisplayConfig ConfigOf(const DeskModel& model) {
  DisplayConfig config{};
  for (const ModelMonitor& m : model.monitors) {
    if (m.arrives_at_ms != 0 || !m.active) continue;
    DisplayPath path = PathOf(model, m, static_cast<uint32_t>(m.source));
    path.flags = kPathActive;
    path.refresh = Rate(m.mode.refresh);
    path.source_mode = static_cast<int32_t>(config.modes.size());
    config.modes.push_back(SourceMode(model, m));
    path.target_mode = static_cast<int32_t>(config.modes.size());
    config.modes.push_back(TargetMode(model, m));
    config.paths.push_back(path);
    config.sources.push_back(DisplaySource{Adapter(model), path.source_id, GdiName(m.source)});
  }
  for (const ModelMonitor& m : model.monitors) {
    if (m.arrives_at_ms != 0) continue;
    for (uint32_t source = 0; source < SourceCount(model); ++source) {
      if (m.active && static_cast<int32_t>(source) == m.source) continue;
      config.paths.push_back(PathOf(model, m, source));
    }
    MonitorTarget target{};
    target.adapter = Adapter(model);
    target.target_id = m.target;
    target.device_path = m.path;
    target.monitor_name = m.name;
    // The three letters after "DISPLAY#" are the EDID's manufacturer.
    const size_t at = m.path.find("DISPLAY#");
    target.edid_ids_valid = at != std::string::npos && m.path.size() >= at + 11;
    target.manufacturer = target.edid_ids_valid ? m.path.substr(at + 8, 3) : "";
    target.hdr_supported = m.ours ? model.our_hdr : m.hdr_capable;
    target.hdr_on = target.hdr_supported && m.hdr;
    config.monitors.push_back(target);
  }
  config.virtual_mode_aware = false;
  return config;
}

ModelMonitor* MonitorOfTarget(DeskModel* model, const AdapterId& adapter, uint32_t target) {
  if (!(adapter == Adapter(*model))) return nullptr;
  for (ModelMonitor& m : model->monitors) {
    if (m.arrives_at_ms == 0 && m.target == target) return &m;
  }
  return nullptr;
}

ModelMonitor* MonitorOfGdiName(DeskModel* model, const std::string& gdi_name) {
  for (ModelMonitor& m : model->monitors) {
    if (m.active && m.arrives_at_ms == 0 && GdiName(m.source) == gdi_name) return &m;
  }
  return nullptr;
}

const DisplayConfigMode* ModeAt(const DisplayConfig& config, int32_t index, ModeKind kind) {
  if (index < 0 || static_cast<size_t>(index) >= config.modes.size()) return nullptr;
  const DisplayConfigMode& mode = config.modes[static_cast<size_t>(index)];
  return mode.kind == kind ? &mode : nullptr;
}

uint32_t WholeHertz(const Rational& rate) {
  return rate.denominator == 0 ? 0 : (rate.numerator + rate.denominator / 2) / rate.denominator;
}

// The offered mode of a size; the one at `hz` when it offers that, else its first.
bool OfferedOfSize(const ModelMonitor& m, uint32_t width, uint32_t height, uint32_t hz, ModelMode* mode) {
  bool found = false;
  for (const ModelMode& offered : m.modes) {
    if (offered.width != width || offered.height != height) continue;
    if (!found || offered.refresh == hz) *mode = offered;
    found = true;
  }
  return found;
}

// SetDisplayConfig(SDC_APPLY | SDC_USE_SUPPLIED_DISPLAY_CONFIG) on the
// model: ERROR_INVALID_PARAMETER, with nothing changed, for anything
// Windows would refuse.
int32_t ApplyPaths(DeskModel* model, const DisplayConfig& asked) {
  DisplayConfig plan{};
  uint32_t flags = 0;
  if (!PlanDisplayApply(asked, &plan, &flags)) return kErrorInvalidParameter;
  const bool allow_changes = (flags & kApplyAllowChanges) != 0;
  std::vector<ModelMonitor> desk = model->monitors;
  for (ModelMonitor& m : desk) {
    m.active = false;
    m.source = kNoModelSource;
  }
  std::vector<ModelMonitor*> unplaced;
  for (const DisplayPath& path : plan.paths) {
    if (!(path.source_adapter == Adapter(*model)) || !(path.target_adapter == Adapter(*model))) {
      return kErrorInvalidParameter;  // an adapter id of another boot
    }
    if (path.source_id >= SourceCount(*model)) return kErrorInvalidParameter;
    ModelMonitor* m = nullptr;
    for (ModelMonitor& candidate : desk) {
      if (candidate.arrives_at_ms == 0 && candidate.target == path.target_id) m = &candidate;
    }
    if (m == nullptr || m->active) return kErrorInvalidParameter;
    for (const ModelMonitor& other : desk) {
      if (other.active && other.source == static_cast<int32_t>(path.source_id)) return kErrorInvalidParameter;
    }
    const DisplayConfigMode* source = ModeAt(plan, path.source_mode, ModeKind::kSource);
    const DisplayConfigMode* target = ModeAt(plan, path.target_mode, ModeKind::kTarget);
    if ((path.source_mode != kNoModeIndex && source == nullptr) || (path.target_mode != kNoModeIndex && target == nullptr)) {
      return kErrorInvalidParameter;
    }
    if ((source == nullptr || target == nullptr) && !allow_changes) return kErrorInvalidParameter;
    m->active = true;
    m->source = static_cast<int32_t>(path.source_id);
    const ModelMonitor& was = *MonitorOfTarget(model, Adapter(*model), m->target);
    if (target != nullptr) {
      m->mode = ModelMode{target->active_width, target->active_height, WholeHertz(target->v_sync)};
      if (source != nullptr && (source->width != target->active_width || source->height != target->active_height)) {
        return kErrorInvalidParameter;  // the model does not scale
      }
    } else if (source != nullptr) {
      if (!OfferedOfSize(*m, source->width, source->height, was.active ? was.mode.refresh : 0, &m->mode)) {
        return kErrorInvalidParameter;
      }
    } else {
      m->mode = was.active ? was.mode : m->modes.front();
    }
    if (source != nullptr) {
      m->x = source->x;
      m->y = source->y;
    } else {
      unplaced.push_back(m);
    }
  }
  // Windows places a display given without a position to the right of the others.
  for (size_t i = 0; i < unplaced.size(); ++i) {
    int64_t right = 0;
    for (const ModelMonitor& other : desk) {
      bool placed = other.active;
      for (size_t j = i; j < unplaced.size(); ++j) placed = placed && unplaced[j] != &other;
      if (placed) right = std::max(right, other.x + int64_t{other.mode.width});
    }
    unplaced[i]->x = static_cast<int32_t>(right);
    unplaced[i]->y = 0;
  }
  if (!CheckDesk(desk).empty()) return kErrorInvalidParameter;
  model->monitors = desk;
  return 0;
}

}  // namespace

DisplayCallResult ReadDisplayConfig(DisplayConfig* config) {
  return WithModel([&](DeskModel* model, DisplayCallResult* result) {
    if (model->read_failures > 0) {
      --model->read_failures;
      *result = {DisplayCallStatus::kChanging, kErrorInsufficientBuffer};
      return;
    }
    *config = ConfigOf(*model);
  });
}

DisplayCallResult ApplyDisplayConfig(const DisplayConfig& config) {
  return WithModel([&](DeskModel* model, DisplayCallResult* result) {
    if (model->apply == ModelApply::kRefused) {
      *result = Failed(kErrorGenFailure);
      return;
    }
    DeskModel trial = *model;
    const int32_t code = ApplyPaths(&trial, config);
    if (code != 0) {
      *result = Failed(code);
      return;
    }
    if (model->apply == ModelApply::kWorks) *model = trial;
  });
}

DisplayCallResult ApplyRememberedDisplayConfig() {
  return WithModel([&](DeskModel* model, DisplayCallResult* result) {
    if (model->apply == ModelApply::kRefused) {
      *result = Failed(kErrorGenFailure);
      return;
    }
    if (model->apply == ModelApply::kWorks) ApplyRememberedLayout(model);
  });
}

DisplayCallResult ChangeSourceModes(const std::vector<SourceModeChange>& changes) {
  return WithModel([&](DeskModel* model, DisplayCallResult* result) {
    // Each tested first, as the real call does; then set one at a time, each
    // a desk of its own that must keep Windows' rules.
    for (const SourceModeChange& change : changes) {
      ModelMonitor* m = MonitorOfGdiName(model, change.gdi_name);
      ModelMode mode{};
      if (m == nullptr || !OfferedOfSize(*m, change.width, change.height, change.refresh_hz, &mode) ||
          (change.refresh_hz != 0 && mode.refresh != change.refresh_hz)) {
        *result = Failed(kDispChangeBadMode);
        return;
      }
    }
    if (model->apply == ModelApply::kRefused) {
      *result = Failed(kDispChangeFailed);
      return;
    }
    if (model->apply == ModelApply::kIgnored) return;
    for (const SourceModeChange& change : changes) {
      DeskModel view = *model;
      ModelMonitor* m = MonitorOfGdiName(&view, change.gdi_name);
      OfferedOfSize(*m, change.width, change.height, change.refresh_hz, &m->mode);
      m->x = change.x;
      m->y = change.y;
      if (!CheckDesk(view.monitors).empty()) {
        *result = Failed(kDispChangeFailed);
        return;  // the changes before it stay, as they do on Windows
      }
      model->monitors = view.monitors;
    }
  });
}

DisplayCallResult ListOfferedModes(const std::string& gdi_name, std::vector<OfferedMode>* modes) {
  return WithModel([&](DeskModel* model, DisplayCallResult* result) {
    const ModelMonitor* m = MonitorOfGdiName(model, gdi_name);
    if (m == nullptr) {
      *result = Failed(kErrorInvalidParameter);
      return;
    }
    modes->clear();
    for (const ModelMode& mode : m->modes) modes->push_back(OfferedMode{mode.width, mode.height, mode.refresh});
  });
}

DisplayCallResult SetMonitorHdr(const AdapterId& adapter, uint32_t target_id, bool on) {
  return WithModel([&](DeskModel* model, DisplayCallResult* result) {
    ModelMonitor* m = MonitorOfTarget(model, adapter, target_id);
    if (m == nullptr) {
      *result = Failed(kErrorInvalidParameter);
      return;
    }
    if (!(m->ours ? model->our_hdr : m->hdr_capable)) {
      *result = Failed(kErrorNotSupported);
      return;
    }
    if (model->hdr_switch_works) m->hdr = on;
  });
}
