#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/folder.h"

const char kPathSeparator = '/';

namespace {

constexpr uint32_t kArchiveAttribute = 0x20;
constexpr uint32_t kHiddenAttribute = 0x02;

}  // namespace

// The names are read at the start and handed out in byte order, so that a
// listing is the same on every run. Like the Windows enumeration, the scan
// starts with "." and "..": an empty folder still yields entries, and only a
// folder that cannot be read yields no scan at all.
struct FolderScan {
  std::string folder;
  std::vector<std::string> names;
  size_t next = 0;
};

namespace {

// Fills the record from the entry's status; a link is described by what it
// points to, so a link to a folder counts as a subfolder.
void DescribeEntry(const FolderScan& scan, const std::string& name, FolderEntry* entry) {
  const std::string path = scan.folder + kPathSeparator + name;
  struct stat status {};
  const bool known = stat(path.c_str(), &status) == 0 || lstat(path.c_str(), &status) == 0;
  entry->attrib = 0;
  entry->time_create = entry->time_access = entry->time_write = 0;
  entry->size = 0;
  if (known) {
    entry->attrib = S_ISDIR(status.st_mode) ? kSubfolderAttribute : kArchiveAttribute;
    entry->time_create = status.st_ctime;
    entry->time_access = status.st_atime;
    entry->time_write = status.st_mtime;
    entry->size = static_cast<uint32_t>(status.st_size);
  }
  if (!name.empty() && name[0] == '.') entry->attrib |= kHiddenAttribute;
  entry->name = name;
}

}  // namespace

FolderScan* StartFolderScan(const std::string& folder, FolderEntry* entry) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return nullptr;
  auto* scan = new FolderScan{folder, {}, 0};
  while (const dirent* found = readdir(dir)) {
    if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0) {
      scan->names.emplace_back(found->d_name);
    }
  }
  closedir(dir);
  std::sort(scan->names.begin(), scan->names.end(),
            [](const std::string& a, const std::string& b) { return std::strcmp(a.c_str(), b.c_str()) < 0; });
  scan->names.insert(scan->names.begin(), {".", ".."});
  if (!NextFolderEntry(scan, entry)) {
    delete scan;
    return nullptr;
  }
  return scan;
}

bool NextFolderEntry(FolderScan* scan, FolderEntry* entry) {
  if (scan->next >= scan->names.size()) return false;
  DescribeEntry(*scan, scan->names[scan->next++], entry);
  return true;
}

void EndFolderScan(FolderScan* scan) { delete scan; }
