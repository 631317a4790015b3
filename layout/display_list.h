// The monitors as velmorin-display shows them: one record a monitor, and
// which of them are ours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display_config.h"

struct DisplayRecord {
  std::string gdi_name;  // \\.\DISPLAYn of its source; empty when inactive
  std::string monitor_name;
  std::string manufacturer;  // empty unless the EDID ids are valid
  uint16_t product_code;
  bool edid_ids_valid;
  std::string device_path;  // the key: stable across restarts, unlike the GDI name
  bool active;
  bool primary;  // its source lies at (0,0) and has a desktop area (Wine lists 0x0 ones)
  int32_t x;     // position and size: active ones only
  int32_t y;
  uint32_t width;
  uint32_t height;
  Rational refresh;
  bool hdr_supported;
  bool hdr_on;
  AdapterId adapter;  // today's ids of its target, for the calls
  uint32_t target_id;
};

// One record per target with an available monitor, from its first path:
// the active one when it has one. GDI name, position and mode only for
// active targets.
std::vector<DisplayRecord> ListDisplays(const DisplayConfig& config);

// True for the monitors velmorin and velmorin-edid attach, which Windows
// names KovraMonitor from their EDID.
bool IsOurs(const DisplayRecord& record);

// True when two records describe the same monitor: the same device path, or
// the same target where Windows gave neither record a device path.
bool SameMonitor(const DisplayRecord& a, const DisplayRecord& b);

// How many of the records are ours.
int32_t CountOurs(const std::vector<DisplayRecord>& records);

// How many of the records are active.
int32_t CountActive(const std::vector<DisplayRecord>& records);

// The record that `which` names: a GDI name ("\\.\DISPLAY7", any case), its
// number alone ("7"), or a monitor's device path. -1 when none does.
int32_t FindDisplay(const std::vector<DisplayRecord>& records, const std::string& which);

// A display of ours in `after` whose monitor `before` did not list; the
// first active one when several are new. -1 when there is none.
int32_t FindNewDisplay(const std::vector<DisplayRecord>& before, const std::vector<DisplayRecord>& after);

// A refresh rate to three decimals ("119.998"), or "unspecified" for 0/0
// and any zero numerator or denominator.
std::string FormatRefresh(const Rational& refresh);
