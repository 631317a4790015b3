#include "desk_model/model_file.h"

#include <chrono>

#include "desk_model/desk_json.h"
#include "platform/file_lock.h"

namespace {

// The other side holds the file for a few milliseconds at a time.
constexpr int32_t kLockWaitMs = 10000;

}  // namespace

int64_t ModelClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string UpdateDeskModelWith(const std::string& path, void (*change)(DeskModel*, void*), void* context) {
  LockedFile file{};
  int32_t error_code = 0;
  switch (LockFileWithin(path.c_str(), false, kLockWaitMs, &file, &error_code)) {
    case FileLockResult::kLocked:
      break;
    case FileLockResult::kBusy:
      return path + " stayed locked for " + std::to_string(kLockWaitMs / 1000) + " s";
    case FileLockResult::kFailed:
      return path + " cannot be opened, error " + std::to_string(error_code);
  }
  std::string text;
  DeskModel model{};
  std::string problem;
  if (!ReadLockedFile(file, &text)) {
    problem = path + " cannot be read";
  } else {
    problem = ParseDeskModel(text, &model);
    if (!problem.empty()) problem = path + ": " + problem;
  }
  if (problem.empty()) {
    const std::string before = FormatDeskModel(model);
    AdvanceDeskModel(&model, ModelClockMs());
    change(&model, context);
    const std::string after = FormatDeskModel(model);
    if (after != before && !RewriteLockedFile(file, after)) problem = path + " cannot be written";
  }
  UnlockFile(file);
  return problem;
}
