// Opening EDID files and their copies without ever blocking on a special file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Opens `path` for binary reading when it names a regular file (links
// followed) and reports its size in bytes. Folders, FIFOs, devices and
// sockets are refused without blocking. Returns null on any failure.
std::FILE* OpenRegularFileForReading(const char* path, int64_t* size);

// Makes `path` a regular file holding exactly `bytes`, creating it when
// needed. An existing file is written over and then cut to `size`, which on
// most file systems is far cheaper than emptying it first. Refuses, without
// blocking, anything that exists and is not a regular file. False on failure.
bool ReplaceFileContents(const char* path, const uint8_t* bytes, size_t size);

// How WriteFileAtomically ended.
enum class WholeWriteResult {
  kWritten,
  kExists,  // `path` exists and replacing it was not allowed
  kFailed,  // nothing could be written (no such folder, no permission, disk full)
};

// Writes `bytes` to a new file beside `path`, then renames it to `path`, so
// that `path` holds either its old contents or all of the new ones. Without
// `replace` an existing `path` is never touched. The new file is removed
// again on any failure.
WholeWriteResult WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size, bool replace);

// True when `path` names an existing folder (links followed).
bool IsFolder(const char* path);

// True when something, of any kind, exists at `path`.
bool PathExists(const char* path);
