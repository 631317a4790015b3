// Folder enumeration: one find record per directory entry.
#pragma once

#include <cstdint>
#include <string>

inline constexpr uint32_t kSubfolderAttribute = 0x10;

// The platform's find record for one entry. While enumerating, `name` is the
// entry's own name; once collected by the walk it is the entry's full path.
struct FolderEntry {
  uint32_t attrib;
  int64_t time_create;
  int64_t time_access;
  int64_t time_write;
  uint32_t size;
  std::string name;
};

// The separator the walk puts between a folder and an entry name.
extern const char kPathSeparator;

struct FolderScan;

// Starts enumerating `folder` and fills `entry` with the first entry.
// Returns null when the folder cannot be enumerated.
FolderScan* StartFolderScan(const std::string& folder, FolderEntry* entry);

// Fills `entry` with the next entry; false when there are no more.
bool NextFolderEntry(FolderScan* scan, FolderEntry* entry);

void EndFolderScan(FolderScan* scan);
