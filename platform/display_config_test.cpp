#include "platform/display_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display_config_rules.h"
#include "platform/user_state.h"

#ifdef _WIN32
#include <windows.h>
#endif

TEST(ManufacturerFromWindowsId, TheEdidWordByteSwappedAsThreeLettersOfFiveBits) {
  // Windows reads the EDID's big-endian bytes 8 and 9 as a little-endian word.
  const struct {
    uint16_t windows_id;
    const char* letters;
  } cases[] = {
      {0xD22E, "KVR"},  // bytes 2E D2, velmorin-edid's
      {0xAC10, "DEL"},  // bytes 10 AC
      {0x2D4C, "SAM"},  // bytes 4C 2D
      {0x0000, "???"},
      {0xFF7F, "???"},  // 31, 31, 31
  };
  for (const auto& c : cases) EXPECT_EQ(ManufacturerFromWindowsId(c.windows_id), c.letters) << c.windows_id;
}

TEST(ChooseStateFolder, TheVariableElseAnAbsoluteXdgStateHomeElseHome) {
  const struct {
    const char* state_dir;
    const char* xdg_state_home;
    const char* home;
    const char* folder;
  } cases[] = {
      {"/srv/velmorin", "/home/u/.state", "/home/u", "/srv/velmorin"},
      {"", "/home/u/.state", "/home/u", "/home/u/.state/velmorin"},
      {nullptr, "relative/state", "/home/u", "/home/u/.local/state/velmorin"},
      {nullptr, "", "/home/u", "/home/u/.local/state/velmorin"},
      {nullptr, nullptr, "", ""},
      {nullptr, nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseStateFolder(c.state_dir, c.xdg_state_home, c.home), c.folder)
        << (c.state_dir ? c.state_dir : "(unset)") << " / " << (c.xdg_state_home ? c.xdg_state_home : "(unset)");
  }
}

namespace {

DisplayPath Path(uint32_t target, int32_t source_mode, int32_t target_mode, uint32_t flags) {
  DisplayPath path{};
  path.source_id = path.target_id = target;
  path.source_mode = source_mode;
  path.target_mode = target_mode;
  path.clone_group = path.desktop_mode = kNoModeIndex;
  path.flags = flags;
  return path;
}

// Modes 0 to 5, each told apart by its id; two active paths and an inactive one between them.
DisplayConfig ThreePaths() {
  DisplayConfig config{};
  for (uint32_t id = 0; id < 6; ++id) {
    DisplayConfigMode mode{};
    mode.kind = ModeKind::kSource;
    mode.id = id;
    config.modes.push_back(mode);
  }
  config.paths = {Path(0, 1, 0, kPathActive), Path(2, 4, 5, 0), Path(1, 3, 2, kPathActive)};
  return config;
}

}  // namespace

TEST(PlanDisplayApply, TheActivePathsWithTheirModesRenumberedAndTheFlagsTheyNeed) {
  const auto unchanged = [](DisplayConfig&) {};
  const struct {
    const char* what;
    void (*change)(DisplayConfig&);
    bool applied;
    uint32_t flags;
    std::vector<uint32_t> mode_ids;  // the modes handed over, in order
  } cases[] = {
      {"plain", unchanged, true, kApplySuppliedConfig, {1, 0, 3, 2}},
      {"a mode left to Windows", [](DisplayConfig& c) { c.paths[2].target_mode = kNoModeIndex; },
       true, kApplySuppliedConfig | kApplyAllowChanges, {1, 0, 3}},
      {"a clone pair's shared source mode, once", [](DisplayConfig& c) { c.paths[2].source_mode = 1; },
       true, kApplySuppliedConfig, {1, 0, 2}},
      {"virtual-mode paths with desktop images",
       [](DisplayConfig& c) {
         c.virtual_mode_aware = true;
         for (DisplayPath& p : c.paths) p.flags |= kPathVirtualMode;
         c.paths[2].desktop_mode = 5;
         c.paths[2].clone_group = 0;
       },
       true, kApplySuppliedConfig | kApplyVirtualModeAware, {1, 0, 3, 2, 5}},
      {"a virtual-mode path in a plain configuration",
       [](DisplayConfig& c) { c.paths[0].flags |= kPathVirtualMode; }, false, 0, {}},
      {"a mode that is not there", [](DisplayConfig& c) { c.paths[2].source_mode = 6; }, false, 0, {}},
      {"no active path", [](DisplayConfig& c) { c.paths[0].flags = c.paths[2].flags = 0; }, false, 0, {}},
  };
  for (const auto& c : cases) {
    DisplayConfig config = ThreePaths();
    c.change(config);
    DisplayConfig applied{};
    uint32_t flags = 0;
    ASSERT_EQ(PlanDisplayApply(config, &applied, &flags), c.applied) << c.what;
    if (!c.applied) continue;
    EXPECT_EQ(flags, c.flags) << c.what;
    std::vector<uint32_t> mode_ids;
    for (const DisplayConfigMode& mode : applied.modes) mode_ids.push_back(mode.id);
    EXPECT_EQ(mode_ids, c.mode_ids) << c.what;
    // Each kept path refers to the modes it referred to, under their new numbers.
    std::vector<DisplayPath> active;
    for (const DisplayPath& path : config.paths) {
      if ((path.flags & kPathActive) != 0) active.push_back(path);
    }
    ASSERT_EQ(applied.paths.size(), active.size()) << c.what;
    for (size_t i = 0; i < active.size(); ++i) {
      const DisplayPath& kept = applied.paths[i];
      const DisplayPath& was = active[i];
      EXPECT_EQ(kept.target_id, was.target_id) << c.what;
      EXPECT_EQ(kept.clone_group, was.clone_group) << c.what;
      const int32_t pairs[][2] = {{kept.source_mode, was.source_mode},
                                  {kept.target_mode, was.target_mode},
                                  {kept.desktop_mode, was.desktop_mode}};
      for (const auto& [now, before] : pairs) {
        if (before == kNoModeIndex) {
          EXPECT_EQ(now, kNoModeIndex) << c.what;
          continue;
        }
        ASSERT_TRUE(now >= 0 && static_cast<size_t>(now) < applied.modes.size()) << c.what;
        EXPECT_EQ(applied.modes[static_cast<size_t>(now)].id, config.modes[static_cast<size_t>(before)].id) << c.what;
      }
    }
  }
}

#ifndef _WIN32

TEST(DisplayConfigPosix, EveryDisplayCallSaysThereIsNoDisplayConfiguration) {
  DisplayConfig config{};
  std::vector<OfferedMode> modes;
  const DisplayCallResult results[] = {
      ReadDisplayConfig(&config),
      ApplyDisplayConfig(config),
      ApplyRememberedDisplayConfig(),
      ChangeSourceModes({{"\\\\.\\DISPLAY1", 800, 600, 60, 0, 0}}),
      ListOfferedModes("\\\\.\\DISPLAY1", &modes),
      SetMonitorHdr({0, 0}, 0, true),
  };
  for (const DisplayCallResult& result : results) EXPECT_EQ(result.status, DisplayCallStatus::kNoDisplayConfig);
  EXPECT_FALSE(ComputerName().empty());
}

#else

// The real configuration, under Wine or on a Windows machine, whatever mode a
// display test has set (they share a lock with this one).
TEST(DisplayConfigWindows, ReadsTheConfigurationAlikeTwiceAndAppliesItsActivePaths) {
  DisplayConfig config{};
  const DisplayCallResult read = ReadDisplayConfig(&config);
  if (read.status == DisplayCallStatus::kAccessDenied) GTEST_SKIP() << "no access to the display configuration here";
  ASSERT_EQ(read.status, DisplayCallStatus::kDone) << read.error_code;
  ASSERT_FALSE(config.monitors.empty());
  for (const MonitorTarget& monitor : config.monitors) EXPECT_FALSE(monitor.device_path.empty());
  std::string first_source;
  for (const DisplayPath& path : config.paths) {
    if ((path.flags & kPathActive) == 0) continue;
    bool named = false;
    for (const DisplaySource& source : config.sources) {
      if (source.adapter == path.source_adapter && source.source_id == path.source_id) {
        named = source.gdi_name.starts_with("\\\\.\\DISPLAY");
        if (first_source.empty()) first_source = source.gdi_name;
      }
    }
    EXPECT_TRUE(named) << path.source_id;
  }
  // Alike twice in a row: a mode change still settling may differ once.
  bool alike = false;
  for (int attempt = 0; attempt < 3 && !alike; ++attempt) {
    DisplayConfig again{};
    ASSERT_EQ(ReadDisplayConfig(&again).status, DisplayCallStatus::kDone);
    alike = again == config;
    config = again;
  }
  EXPECT_TRUE(alike);
  EXPECT_EQ(ApplyDisplayConfig(config).status, DisplayCallStatus::kDone);
  // Wine's SetDisplayConfig accepts anything: switching every display off is refused before it.
  EXPECT_EQ(ApplyDisplayConfig(DisplayConfig{}).error_code, ERROR_INVALID_PARAMETER);

  std::vector<OfferedMode> modes;
  ASSERT_EQ(ListOfferedModes(first_source, &modes).status, DisplayCallStatus::kDone) << first_source;
  EXPECT_FALSE(modes.empty());
  for (size_t i = 0; i < modes.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      EXPECT_FALSE(modes[i].width == modes[j].width && modes[i].height == modes[j].height &&
                   modes[i].refresh_hz == modes[j].refresh_hz);
    }
  }
  // An empty name would mean the primary display to Windows.
  for (const char* name : {"\\\\.\\DISPLAY99", ""}) {
    EXPECT_EQ(ListOfferedModes(name, &modes).status, DisplayCallStatus::kFailed) << name;
  }
  EXPECT_EQ(ChangeSourceModes({{"", 640, 480, 0, 0, 0}}).status, DisplayCallStatus::kFailed);
  DisplayConfig after{};
  ASSERT_EQ(ReadDisplayConfig(&after).status, DisplayCallStatus::kDone);
  EXPECT_TRUE(after == config);

  // Switching HDR off where it cannot be on changes nothing, and ends no process
  // (Wine 8 has no DisplayConfigSetDeviceInfo at all).
  for (const MonitorTarget& monitor : config.monitors) {
    if (!monitor.hdr_supported) SetMonitorHdr(monitor.adapter, monitor.target_id, false);
  }
  EXPECT_FALSE(ComputerName().empty());
}

TEST(DisplayStateFolder, TheVariableInUtf8WhenSetAndNotEmptyElseTheLocalApplicationDataFolder) {
  wchar_t saved[1024] = {};
  const bool was_set = GetEnvironmentVariableW(L"VELMORIN_STATE_DIR", saved, 1024) != 0;
  SetEnvironmentVariableW(L"VELMORIN_STATE_DIR", L"C:\\Zust\u00e4nde\\\u72b6\u614b");
  EXPECT_EQ(DisplayStateFolder(), "C:\\Zust\xC3\xA4nde\\\xE7\x8A\xB6\xE6\x85\x8B");
  SetEnvironmentVariableW(L"VELMORIN_STATE_DIR", L"");
  const std::string fallback = DisplayStateFolder();
  EXPECT_TRUE(fallback.size() > 9 && fallback.ends_with("\\Velmorin")) << fallback;
  SetEnvironmentVariableW(L"VELMORIN_STATE_DIR", was_set ? saved : nullptr);
}

#endif
