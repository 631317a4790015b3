#include "survey/walk.h"

namespace {

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

}  // namespace

bool WalkFolder(const std::string& folder, std::vector<FolderEntry>& entries, uint32_t& counter) {
  FolderEntry entry;
  FolderScan* scan = StartFolderScan(folder, &entry);
  if (scan == nullptr) return false;
  do {
    const bool is_subfolder = (entry.attrib & kSubfolderAttribute) != 0;
    if (is_subfolder && IsDotEntry(entry.name)) continue;
    if (++counter > kFolderEntryBudget) break;
    std::string path = folder + kPathSeparator + entry.name;
    entry.name = path;
    entries.push_back(entry);
    if (is_subfolder) WalkFolder(path, entries, counter);
  } while (NextFolderEntry(scan, &entry));
  EndFolderScan(scan);
  return true;
}
