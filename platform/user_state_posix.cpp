#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/display_config_rules.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/path.h"
#include "platform/user_state.h"

namespace {

// Beside the saved layout: the lock is the user's, as the layout is.
constexpr const char* kLockFileName = "display.lock";

}  // namespace

std::string DisplayStateFolder() {
  return ChooseStateFolder(std::getenv("VELMORIN_STATE_DIR"), std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

CommandLockResult TakeCommandLock(int32_t wait_ms, CommandLock* lock, int32_t* error_code) {
  const std::string folder = DisplayStateFolder();
  *error_code = 0;
  if (folder.empty() || !MakeFolders(folder.c_str())) return CommandLockResult::kFailed;
  LockedFile file{};
  switch (LockFileWithin(JoinPath(folder, kLockFileName).c_str(), true, wait_ms, &file, error_code)) {
    case FileLockResult::kLocked:
      lock->handle = file.handle;
      return CommandLockResult::kTaken;
    case FileLockResult::kBusy:
      return CommandLockResult::kBusy;
    case FileLockResult::kFailed:
      break;
  }
  return CommandLockResult::kFailed;
}

void ReleaseCommandLock(CommandLock lock) { UnlockFile(LockedFile{lock.handle}); }
