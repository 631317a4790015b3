#include <io.h>

#include <string>

#include "platform/folder.h"

const char kPathSeparator = '\\';

struct FolderScan {
  intptr_t handle;
};

namespace {

void CopyFindRecord(const _finddata64i32_t& found, FolderEntry* entry) {
  entry->attrib = found.attrib;
  entry->time_create = found.time_create;
  entry->time_access = found.time_access;
  entry->time_write = found.time_write;
  entry->size = static_cast<uint32_t>(found.size);
  entry->name = found.name;
}

}  // namespace

FolderScan* StartFolderScan(const std::string& folder, FolderEntry* entry) {
  const std::string pattern = folder + "\\*";
  _finddata64i32_t found{};
  const intptr_t handle = _findfirst64i32(pattern.c_str(), &found);
  if (handle == -1) return nullptr;
  CopyFindRecord(found, entry);
  return new FolderScan{handle};
}

bool NextFolderEntry(FolderScan* scan, FolderEntry* entry) {
  _finddata64i32_t found{};
  if (_findnext64i32(scan->handle, &found) != 0) return false;
  CopyFindRecord(found, entry);
  return true;
}

void EndFolderScan(FolderScan* scan) {
  _findclose(scan->handle);
  delete scan;
}
