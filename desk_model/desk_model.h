// A stand-in for Windows' display configuration, as the driver emulator is
// for the driver: the monitors connected, where the active ones lie, the
// layouts Windows remembers for sets of monitors, and the faults a test
// scripts. It lives in a JSON file (VELMORIN_DESK_MODEL) that the display
// program built over it and the driver emulator's --desk share, each holding
// the file locked while it changes it.
//
// It follows Windows' documented rules and no more: an apply leaves at least
// one active display, exactly one at 0,0 (the primary), none overlapping and
// each in a mode it offers, or nothing changes; a monitor that arrives takes
// the layout remembered for the new set of monitors, else lies to the right
// of the rightmost display in its first mode; one that leaves gives the rest
// their remembered layout, else leaves them where they were.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A mode as the model keeps it: whole hertz.
struct ModelMode {
  uint32_t width;
  uint32_t height;
  uint32_t refresh;

  friend bool operator==(const ModelMode&, const ModelMode&) = default;
};

inline constexpr int32_t kNoModelSource = -1;

struct ModelMonitor {
  std::string path;  // the device path: the monitor's identity
  std::string name;  // as Windows reads it from the EDID
  bool ours;
  std::vector<ModelMode> modes;  // offered, the first preferred
  bool active;
  ModelMode mode;  // while active
  int32_t x;
  int32_t y;
  bool hdr_capable;  // for ours, the model's our_hdr decides
  bool hdr;
  uint32_t target;  // its target id on the adapter
  int32_t source;   // the source showing it, or kNoModelSource
  int64_t arrives_at_ms;  // a display of ours on its way: listed from then on (0: here)
};

// Where one monitor lies in a remembered layout.
struct ModelPlacement {
  std::string path;
  bool active;
  ModelMode mode;
  int32_t x;
  int32_t y;
};

// The layout Windows remembers for one set of monitors.
struct RememberedLayout {
  std::vector<std::string> set;
  std::vector<ModelPlacement> layout;
};

enum class ModelArrival { kExtend, kInactive, kNever };
enum class ModelApply { kWorks, kRefused, kIgnored };

struct DeskModel {
  uint32_t adapter;  // the adapter id's low part; a restart changes it
  bool access_denied;
  int32_t read_failures;  // the next reads answer "buffer too small"
  ModelArrival arrival;   // how a display of ours arrives
  int32_t arrival_ms;     // and after how long
  bool our_hdr;           // whether displays of ours can do HDR
  bool hdr_switch_works;  // else a switch answers success and changes nothing
  ModelApply apply;       // layouts and modes: applied, refused, or answered with success alone
  std::vector<ModelMonitor> monitors;  // connected, in the order they came
  std::vector<RememberedLayout> remembered;
};

// Sources an adapter has: at least this many, and one per connected monitor.
inline constexpr uint32_t kModelSources = 4;

uint32_t SourceCount(const DeskModel& model);

// "WIDTHxHEIGHTxREFRESH" and back; false for anything else.
bool ParseModelMode(const std::string& text, ModelMode* mode);
std::string FormatModelMode(const ModelMode& mode);

// Why the active monitors break Windows' rules (none active, no primary or
// two, two overlapping, a mode not offered), or empty.
std::string CheckDesk(const std::vector<ModelMonitor>& monitors);

// Gives each monitor a target id and each active one a source where the
// file leaves them out, the lowest free first.
void SettleIds(DeskModel* model);

// Lists the displays of ours whose time has come, as arriving monitors.
void AdvanceDeskModel(DeskModel* model, int64_t now_ms);

// A display of ours for the driver's attach: named KovraMonitor, a device
// path of its own, offering `modes` (the asked one first); arriving as the
// model's `arrival` says. False when it never arrives.
bool AttachOurMonitor(DeskModel* model, const std::vector<ModelMode>& modes, int64_t now_ms);

// The driver's remove: the newest display of ours goes, arrived or not.
// False when there is none.
bool DetachNewestOfOurs(DeskModel* model);

// Applies the layout Windows remembers for the monitors connected now; with
// none remembered, makes the first monitor active at 0,0 when none is.
void ApplyRememberedLayout(DeskModel* model);
