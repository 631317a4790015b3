// The layouts velmorin-display applies: the desk as it is, a display made
// primary or the only one, a display added to the desk; and whether what
// Windows shows afterwards is what was asked. Plain functions over the
// records; nothing here calls Windows.
#pragma once

#include <string>

#include "platform/display_config.h"

// The desk as it is: the active paths of `config` alone, the modes they
// refer to (indices renumbered), and the monitors and sources they use.
DisplayConfig ActiveLayout(const DisplayConfig& config);

// Moves every active source by the origin of the source that shows the
// monitor `device_path`, so that it lies at (0,0) and the others keep their
// places relative to one another. Empty string, or why it cannot be done.
std::string MakePrimary(DisplayConfig& layout, const std::string& device_path);

// Leaves the path of the monitor `device_path` alone active, its source at
// (0,0). Empty string, or why it cannot be done.
std::string MakeOnly(DisplayConfig& layout, const std::string& device_path);

// Adds the monitor `device_path`, inactive in `layout`, to the desk: its
// path from `all` (every path) with a source of its adapter that no active
// path uses, modes left to Windows. Empty string, or why it cannot be done.
std::string AddToDesk(DisplayConfig& layout, const DisplayConfig& all, const std::string& device_path);

// Re-packs the active sources' positions before an apply: one source at
// (0,0) (the primary when there is one, else the one nearest the origin,
// the others moved with it), and each other one moved towards the ones
// already placed until their edges touch, in the order of their distance
// from the origin, keeping which side of them it lies on; lined up with
// its near edge where it lay off a corner. One that already shares a
// stretch of edge and overlaps none stays. Sources without a mode are left
// to Windows.
void RepackPositions(DisplayConfig& layout);

// Empty when `got` shows what `wanted` asks: the same monitors active, each
// with the same desktop size and position, and a refresh within 0.5 Hz of
// the one asked where one is given; else one line saying what differs.
std::string CompareLayouts(const DisplayConfig& wanted, const DisplayConfig& got);
