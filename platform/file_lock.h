// A file held locked while it is read and rewritten, so that processes that
// share it (a stand-in's state, a lock file) take turns.
#pragma once

#include <cstdint>
#include <string>

struct LockedFile {
  intptr_t handle;
};

enum class FileLockResult {
  kLocked,
  kBusy,    // another process held it for the whole wait
  kFailed,  // it could not be opened: `error_code`
};

// Opens `path` (made when `create` and missing) and locks it for this
// process alone, waiting up to `wait_ms` for another holder.
FileLockResult LockFileWithin(const char* path, bool create, int32_t wait_ms, LockedFile* file, int32_t* error_code);

// The whole text of a locked file. False when it cannot be read.
bool ReadLockedFile(LockedFile file, std::string* text);

// Replaces the text of a locked file in place (the lock stays on it). False
// when it cannot be written whole.
bool RewriteLockedFile(LockedFile file, const std::string& text);

// Unlocks and closes it.
void UnlockFile(LockedFile file);
