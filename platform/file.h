// Opening EDID files and their copies without ever blocking on a special file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Opens `path` for binary reading when it names a regular file (links
// followed) and reports its size in bytes. Folders, FIFOs, devices and
// sockets are refused without blocking. Returns null on any failure.
std::FILE* OpenRegularFileForReading(const char* path, int64_t* size);

enum class SmallFileRead {
  kRead,
  kCannotOpen,  // missing, not a regular file, no permission
  kTooLarge,    // larger than the caller's limit: not read at all
  kShort,       // it ended before the size it had when opened
};

// The whole of a regular file of at most `max_size` bytes, for the small
// state files the programs keep. `text` is left as it was unless kRead.
SmallFileRead ReadSmallFile(const char* path, int64_t max_size, std::string* text);

// Makes `path` a regular file holding exactly `bytes`, creating it when
// needed. An existing file is written over and then cut to `size`, which on
// most file systems is far cheaper than emptying it first. Refuses, without
// blocking, anything that exists and is not a regular file. False on failure.
bool ReplaceFileContents(const char* path, const uint8_t* bytes, size_t size);

// How WriteWholeFile ended.
enum class WholeWriteResult {
  kWritten,
  kExists,          // a file exists at `path` and replacing it was not allowed
  kStreamExists,    // `path` is a FIFO or character device and writing to it was not allowed
  kNoReader,        // `path` is a FIFO that nobody reads
  kStalled,         // `path` is a FIFO or device that took no bytes for 10 s
  kReaderGone,      // `path` is a FIFO or pipe whose reader went away before all was read
  kDisk,            // `path` is a block device (a disk or volume): never written
  kLinkLoop,        // `path` is a symbolic link whose chain never ends
  kNotAFile,        // `path` is a folder, a socket or another kind of entry
  kUnseen,          // the system could not say what is at `path` (see `reason`)
  kFailed,          // nothing could be written (no such folder, no permission, disk full)
};

struct WholeWrite {
  WholeWriteResult result;
  std::string reason;  // for kUnseen: the system's words for why
};

// Puts `bytes` at `path`. A file is written beside its destination under a
// short temporary name, then renamed to it, so that it holds either its old
// contents or all of the new ones; where a rename cannot refuse to replace
// (some file systems), a new file is created exclusively instead and removed
// again when writing it fails. The system follows symbolic links: a link's
// file is replaced, or made where the link names nothing, the link staying
// as it is. A FIFO or character device is written to directly, without
// waiting for a reader. Without `replace` nothing that exists, or appears
// meanwhile, is touched; a block device never is. Anything other than "does
// not exist" that stops the system from looking at `path` is reported, and
// nothing is written. A file that is not yet whole is removed again when the
// process is interrupted (SIGINT or SIGTERM; on Windows whatever ends it). On
// Windows the path means the file as written (see wide_path_win32.h).
WholeWrite WriteWholeFile(const char* path, const uint8_t* bytes, size_t size, bool replace);

// Makes the folder `path` and every folder above it that is missing. True
// when it is a folder afterwards.
bool MakeFolders(const char* path);

// True when `path` names an existing folder (links followed).
bool IsFolder(const char* path);

// True when something, of any kind, exists at `path`.
bool PathExists(const char* path);

// Removes the file `path` (not a folder). True when it is gone afterwards.
bool RemoveFile(const char* path);
