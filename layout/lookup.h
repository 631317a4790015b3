// Finding things in a display configuration: the lookups the layout
// decisions share. Every index and every record is checked, since a
// configuration may come from a saved file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/display_config.h"

inline bool IsActive(const DisplayPath& path) { return (path.flags & kPathActive) != 0; }

// A refresh of 0/0, or with any zero part, leaves the rate unspecified.
inline bool IsSpecified(const Rational& refresh) { return refresh.numerator != 0 && refresh.denominator != 0; }

// Device paths and GDI names are Windows names: ASCII letters match in any case.
bool SameName(const std::string& a, const std::string& b);

// The mode `index` refers to when it is a mode of `kind`, else nullptr.
const DisplayConfigMode* ModeOf(const DisplayConfig& config, int32_t index, ModeKind kind);
DisplayConfigMode* ModeOf(DisplayConfig& config, int32_t index, ModeKind kind);

// The monitor record of a target, or nullptr.
const MonitorTarget* MonitorOfTarget(const DisplayConfig& config, const AdapterId& adapter, uint32_t target_id);

// The monitor whose device path is `device_path`, or nullptr (an empty path finds none).
const MonitorTarget* MonitorByPath(const DisplayConfig& config, const std::string& device_path);

// The active path to a target, or -1.
int32_t ActivePathTo(const DisplayConfig& config, const AdapterId& adapter, uint32_t target_id);

// The GDI name of a source; empty when the configuration does not name it.
std::string GdiNameOf(const DisplayConfig& config, const AdapterId& adapter, uint32_t source_id);

// The rate a path runs at: its target mode's, which Windows uses over the
// path's own when there is one; else the path's.
Rational PathRefresh(const DisplayConfig& config, const DisplayPath& path);
