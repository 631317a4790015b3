// Windows' display configuration as plain records: the paths from sources
// (what the desktop draws, \\.\DISPLAYn) to targets (the monitors), their
// modes, and what Windows knows of each monitor. Reading it, and the few
// ways of changing it. A POSIX build has no such configuration: every call
// there answers kNoDisplayConfig.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An adapter's locally unique id. It changes with every boot and whenever
// the adapter restarts, so nothing is ever found again by it alone.
struct AdapterId {
  uint32_t low;
  int32_t high;

  friend bool operator==(const AdapterId&, const AdapterId&) = default;
};

struct Rational {
  uint32_t numerator;
  uint32_t denominator;  // 0/0 (and any 0 numerator) means unspecified

  friend bool operator==(const Rational&, const Rational&) = default;
};

// A mode index of a path that refers to no mode.
inline constexpr int32_t kNoModeIndex = -1;

// Path flags as Windows gives them.
inline constexpr uint32_t kPathActive = 0x1;
inline constexpr uint32_t kPathVirtualMode = 0x8;  // the path's indices follow the virtual-mode convention

// One path from a source to a target. The mode indices refer to
// DisplayConfig::modes; each is read by the path's own kPathVirtualMode flag.
struct DisplayPath {
  AdapterId source_adapter;
  uint32_t source_id;
  int32_t source_mode;  // the source mode, or kNoModeIndex
  int32_t clone_group;  // virtual-mode paths only, else kNoModeIndex
  uint32_t source_status;
  AdapterId target_adapter;
  uint32_t target_id;
  int32_t target_mode;   // the target mode, or kNoModeIndex
  int32_t desktop_mode;  // virtual-mode paths only: the desktop image, or kNoModeIndex
  uint32_t output_technology;
  uint32_t rotation;
  uint32_t scaling;
  Rational refresh;
  uint32_t scanline_ordering;
  bool target_available;
  uint32_t target_status;
  uint32_t flags;  // kPathActive, kPathVirtualMode, ...

  friend bool operator==(const DisplayPath&, const DisplayPath&) = default;
};

enum class ModeKind : uint32_t { kSource = 1, kTarget = 2, kDesktopImage = 3 };

struct PixelRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;

  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// One mode record; the fields of its kind are meaningful, the others zero.
struct DisplayConfigMode {
  ModeKind kind;
  uint32_t id;  // the source or target id
  AdapterId adapter;
  // kSource: the desktop area a source draws, and where it lies.
  uint32_t width;
  uint32_t height;
  uint32_t pixel_format;
  int32_t x;
  int32_t y;
  // kTarget: the signal sent to the monitor.
  uint64_t pixel_rate;
  Rational h_sync;
  Rational v_sync;
  uint32_t active_width;
  uint32_t active_height;
  uint32_t total_width;
  uint32_t total_height;
  uint32_t video_standard;
  uint32_t target_scanline_ordering;
  // kDesktopImage.
  int32_t source_size_x;
  int32_t source_size_y;
  PixelRect image_region;
  PixelRect image_clip;

  friend bool operator==(const DisplayConfigMode&, const DisplayConfigMode&) = default;
};

// What Windows knows of one available monitor (target).
struct MonitorTarget {
  AdapterId adapter;
  uint32_t target_id;
  std::string device_path;   // the monitor's device path: stable across restarts, the key to it
  std::string monitor_name;  // read from its EDID; empty when Windows did not take it from there
  bool edid_ids_valid;
  std::string manufacturer;  // three letters from the EDID, when edid_ids_valid
  uint16_t product_code;
  bool hdr_supported;  // advanced colour
  bool hdr_on;

  friend bool operator==(const MonitorTarget&, const MonitorTarget&) = default;
};

// A source's GDI name (\\.\DISPLAYn): a label, renumbered across restarts.
struct DisplaySource {
  AdapterId adapter;
  uint32_t source_id;
  std::string gdi_name;

  friend bool operator==(const DisplaySource&, const DisplaySource&) = default;
};

struct DisplayConfig {
  std::vector<DisplayPath> paths;
  std::vector<DisplayConfigMode> modes;
  std::vector<MonitorTarget> monitors;  // one a target with an available monitor
  std::vector<DisplaySource> sources;   // the sources of active paths
  bool virtual_mode_aware;              // the convention the query used, and applying must use

  friend bool operator==(const DisplayConfig&, const DisplayConfig&) = default;
};

enum class DisplayCallStatus {
  kDone,
  kAccessDenied,     // a service or session 0, a remote session, the lock screen, just after logon
  kNotSupported,     // no display driver model to ask
  kNoDisplayConfig,  // this system has no Windows display configuration at all
  kChanging,         // a monitor came or went between the calls ("buffer too small"): ask again shortly
  kFailed,           // anything else: `error_code`
};

struct DisplayCallResult {
  DisplayCallStatus status;
  int32_t error_code;  // the system's code where there is one
};

// Every path (active or not) with its modes, the monitor of every available
// target and the GDI name of every active source. Asks again while a
// monitor's arrival changes the sizes between the calls.
DisplayCallResult ReadDisplayConfig(DisplayConfig* config);

// Sets the active paths of `config` (the others are left out), with their
// modes and positions, validated first and then applied, without saving it
// as the monitors' remembered layout.
DisplayCallResult ApplyDisplayConfig(const DisplayConfig& config);

// Applies the layout Windows itself remembers for the monitors now connected.
DisplayCallResult ApplyRememberedDisplayConfig();

// One source's desktop size, refresh and position, for a change of modes alone.
struct SourceModeChange {
  std::string gdi_name;
  uint32_t width;
  uint32_t height;
  uint32_t refresh_hz;  // whole hertz as Windows lists them; 0 leaves the rate to Windows
  int32_t x;
  int32_t y;
};

// Changes the modes of one or more sources at once, for this session only.
DisplayCallResult ChangeSourceModes(const std::vector<SourceModeChange>& changes);

// A mode a source offers, as Windows lists it (whole hertz).
struct OfferedMode {
  uint32_t width;
  uint32_t height;
  uint32_t refresh_hz;
};

// The modes the source `gdi_name` offers.
DisplayCallResult ListOfferedModes(const std::string& gdi_name, std::vector<OfferedMode>* modes);

// Switches advanced colour (HDR) on or off for the monitor of a target.
DisplayCallResult SetMonitorHdr(const AdapterId& adapter, uint32_t target_id, bool on);
