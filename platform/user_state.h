// What velmorin-display keeps per user: the folder of its saved state, the
// computer's name a saved layout carries, and the lock that lets one command
// at a time change the displays.
#pragma once

#include <cstdint>
#include <string>

// The folder velmorin-display keeps its state in: VELMORIN_STATE_DIR when
// it is set and not empty, else the user's local application data folder's
// Velmorin folder (POSIX: XDG_STATE_HOME's or HOME's). Empty when neither
// can be found.
std::string DisplayStateFolder();

// This computer's name, which a saved layout carries.
std::string ComputerName();

// The lock a command that changes the displays holds from start to end: a
// named mutex per user on Windows, a locked file in the state folder on
// POSIX. The system lets it go when the process ends, however it ends.
struct CommandLock {
  intptr_t handle;
};

enum class CommandLockResult {
  kTaken,
  kBusy,    // another process held it for the whole wait
  kFailed,  // it could not be made (no state folder, no rights): `error_code`
};

// Takes the lock, waiting up to `wait_ms` for another holder to let it go
// (0: one try). Taken and released on the same thread (a mutex is a thread's).
CommandLockResult TakeCommandLock(int32_t wait_ms, CommandLock* lock, int32_t* error_code);

void ReleaseCommandLock(CommandLock lock);
