// Collecting the entries of a folder tree, depth-first, within a fixed budget.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/folder.h"

// At most this many entries are collected from one tree.
inline constexpr uint32_t kFolderEntryBudget = 1000;

// Appends every file and subfolder below `folder` to `entries`, pre-order,
// each with its full path: the folder as given, the separator, the name.
// `counter` counts every entry met except "." and "..", across all levels;
// once it passes the budget nothing more is collected. Returns false when
// `folder` itself cannot be enumerated (subfolders that cannot be are
// skipped silently).
bool WalkFolder(const std::string& folder, std::vector<FolderEntry>& entries, uint32_t& counter);
