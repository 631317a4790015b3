// Display configurations written as data for the layout tests: one line a
// monitor, turned into the paths, modes and records Windows would list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "layout/lookup.h"
#include "platform/display_config.h"

namespace desk {

inline constexpr int32_t kOff = -1;  // a monitor connected but not on the desk

struct Screen {
  const char* tag;  // names the monitor: its device path is DevicePath(tag)
  bool ours;        // KovraMonitor, else another maker's monitor
  int32_t source;   // the source showing it on adapter `adapter`, or kOff
  int32_t x = 0;
  int32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  Rational refresh = {60, 1};
  uint32_t adapter = 0x100;  // the adapter id's low part
  uint32_t target = 0;       // 0: its place in the list
  bool hdr_on = false;
};

inline DisplayConfigMode ModeRecord(ModeKind kind, uint32_t id, const AdapterId& adapter) {
  DisplayConfigMode mode{};
  mode.kind = kind;
  mode.id = id;
  mode.adapter = adapter;
  return mode;
}

inline std::string DevicePath(const std::string& tag) {
  return "\\\\?\\DISPLAY#KVR0000#" + tag + "#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
}

inline std::string TagOf(const std::string& device_path) {
  const size_t start = device_path.find("#KVR0000#");
  return start == std::string::npos ? device_path
                                    : device_path.substr(start + 9, device_path.find('#', start + 9) - start - 9);
}

// Every path Windows lists: the active ones first, then each monitor's
// paths from every other source of its adapter (`sources` an adapter).
inline DisplayConfig Desk(const std::vector<Screen>& screens, uint32_t sources = 4) {
  DisplayConfig config{};
  const auto target_of = [&](size_t i) { return screens[i].target != 0 ? screens[i].target : uint32_t(i); };
  const auto path_for = [&](size_t i, uint32_t source) {
    const AdapterId adapter{screens[i].adapter, 0};
    return DisplayPath{adapter, source, kNoModeIndex, kNoModeIndex, 0, adapter, target_of(i), kNoModeIndex,
                       kNoModeIndex, 0, 1, 1, {0, 0}, 1, true, 0, 0};
  };
  for (size_t i = 0; i < screens.size(); ++i) {
    const Screen& s = screens[i];
    config.monitors.push_back({{s.adapter, 0}, target_of(i), DevicePath(s.tag), s.ours ? "KovraMonitor" : "DELL P2419H",
                               true, s.ours ? "KVR" : "DEL", uint16_t(s.ours ? 1 : 0xA0C4), true, s.hdr_on});
    if (s.source == kOff) continue;
    DisplayPath path = path_for(i, static_cast<uint32_t>(s.source));
    path.flags = kPathActive;
    path.refresh = s.refresh;
    // Clones share their source's mode and GDI name.
    for (const DisplayPath& other : config.paths) {
      if (other.source_adapter == path.source_adapter && other.source_id == path.source_id)
        path.source_mode = other.source_mode;
    }
    if (path.source_mode == kNoModeIndex) {
      path.source_mode = static_cast<int32_t>(config.modes.size());
      DisplayConfigMode mode = ModeRecord(ModeKind::kSource, path.source_id, path.source_adapter);
      mode.width = s.width;
      mode.height = s.height;
      mode.pixel_format = 4;
      mode.x = s.x;
      mode.y = s.y;
      config.modes.push_back(mode);
      config.sources.push_back(
          {path.source_adapter, path.source_id, "\\\\.\\DISPLAY" + std::to_string(config.sources.size() + 1)});
    }
    path.target_mode = static_cast<int32_t>(config.modes.size());
    DisplayConfigMode mode = ModeRecord(ModeKind::kTarget, path.target_id, path.target_adapter);
    mode.v_sync = s.refresh;
    mode.active_width = s.width;
    mode.active_height = s.height;
    config.modes.push_back(mode);
    config.paths.push_back(path);
  }
  for (size_t i = 0; i < screens.size(); ++i) {
    for (uint32_t source = 0; source < sources; ++source) {
      if (screens[i].source != static_cast<int32_t>(source)) config.paths.push_back(path_for(i, source));
    }
  }
  return config;
}

// The active paths in order: "TAG:SOURCE@X,Y" ("@-" without a source mode).
inline std::string Positions(const DisplayConfig& layout) {
  std::string text;
  for (const DisplayPath& path : layout.paths) {
    if (!IsActive(path)) continue;
    const MonitorTarget* monitor = MonitorOfTarget(layout, path.target_adapter, path.target_id);
    const DisplayConfigMode* mode = ModeOf(layout, path.source_mode, ModeKind::kSource);
    text += (text.empty() ? "" : " ") + (monitor ? TagOf(monitor->device_path) : "?") + ":" +
            std::to_string(path.source_id) +
            (mode ? "@" + std::to_string(mode->x) + "," + std::to_string(mode->y) : "@-");
  }
  return text;
}

// `text` with every `from` replaced by `to`.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// What Wine 8 reports without an X display, and with a second X screen, as measured.
inline DisplayConfig WineDesk(bool second_screen) {
  DisplayConfig config{};
  const AdapterId adapter{0x3f0, 0};
  config.paths.push_back(
      {adapter, 0, 0, kNoModeIndex, 1, adapter, 0, 1, kNoModeIndex, 10, 1, 1, {60, 1}, 1, true, 1, 1});
  DisplayConfigMode source = ModeRecord(ModeKind::kSource, 0, adapter);
  source.width = 1024;
  source.height = 768;
  source.pixel_format = 4;
  DisplayConfigMode target = ModeRecord(ModeKind::kTarget, 0, adapter);
  target.pixel_rate = 47185920;
  target.v_sync = {60, 1};
  target.active_width = 1024;
  target.active_height = 768;
  config.modes = {source, target};
  const std::string path = "\\\\?\\DISPLAY#Default_Monitor#0000&0000#{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}";
  config.monitors.push_back({adapter, 0, path, "", false, "", 0, false, false});
  config.sources.push_back({adapter, 0, "\\\\.\\DISPLAY1"});
  if (second_screen) {
    config.paths.push_back(
        {adapter, 1, 2, kNoModeIndex, 1, adapter, 1, kNoModeIndex, kNoModeIndex, 10, 1, 1, {0, 1}, 1, true, 1, 1});
    config.modes.push_back(ModeRecord(ModeKind::kSource, 1, adapter));
    config.modes.back().pixel_format = 5;
    config.monitors.push_back({adapter, 1, Replaced(path, "#0000&", "#0001&"), "", false, "", 0, false, false});
    config.sources.push_back({adapter, 1, "\\\\.\\DISPLAY2"});
  }
  return config;
}

}  // namespace desk
