#include <io.h>
#include <windows.h>

#include <string>

#include "platform/folder.h"
#include "platform/wide_path_win32.h"

const char kPathSeparator = '\\';

// One enumeration: the runtime's for ordinary patterns, the wide calls for a
// pattern the runtime cannot take (too long for MAX_PATH, or a name that the
// narrow calls would rewrite).
struct FolderScan {
  intptr_t runtime_handle;
  HANDLE wide_handle;
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

// Seconds since 1970 from 100-nanosecond ticks since 1601, as the runtime reports them.
int64_t UnixSeconds(const FILETIME& time) {
  const int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  if (ticks == 0) return -1;
  return (ticks - 116444736000000000LL) / 10000000LL;
}

void CopyWideRecord(const WIN32_FIND_DATAW& found, FolderEntry* entry) {
  entry->attrib = found.dwFileAttributes;
  entry->time_create = UnixSeconds(found.ftCreationTime);
  entry->time_access = UnixSeconds(found.ftLastAccessTime);
  entry->time_write = UnixSeconds(found.ftLastWriteTime);
  entry->size = found.nFileSizeLow;
  entry->name = NarrowName(found.cFileName);
}

}  // namespace

FolderScan* StartFolderScan(const std::string& folder, FolderEntry* entry) {
  const std::string pattern = folder + "\\*";
  if (!NeedsLiteralPath(pattern)) {
    _finddata64i32_t found{};
    const intptr_t handle = _findfirst64i32(pattern.c_str(), &found);
    if (handle == -1) return nullptr;
    CopyFindRecord(found, entry);
    return new FolderScan{handle, INVALID_HANDLE_VALUE};
  }
  const std::wstring literal = LiteralPath(pattern);
  if (literal.empty()) return nullptr;
  WIN32_FIND_DATAW found{};
  const HANDLE handle = FindFirstFileExW(literal.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  CopyWideRecord(found, entry);
  return new FolderScan{-1, handle};
}

bool NextFolderEntry(FolderScan* scan, FolderEntry* entry) {
  if (scan->wide_handle != INVALID_HANDLE_VALUE) {
    WIN32_FIND_DATAW found{};
    if (!FindNextFileW(scan->wide_handle, &found)) return false;
    CopyWideRecord(found, entry);
    return true;
  }
  _finddata64i32_t found{};
  if (_findnext64i32(scan->runtime_handle, &found) != 0) return false;
  CopyFindRecord(found, entry);
  return true;
}

void EndFolderScan(FolderScan* scan) {
  if (scan->wide_handle != INVALID_HANDLE_VALUE) {
    FindClose(scan->wide_handle);
  } else {
    _findclose(scan->runtime_handle);
  }
  delete scan;
}
