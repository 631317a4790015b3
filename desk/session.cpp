#include "desk/session.h"

#include <algorithm>
#include <thread>

namespace {

// Windows' configuration is asked again this often while something is
// awaited: a console program has no window for the display-change message,
// and that message does not come for a monitor that arrives inactive.
constexpr std::chrono::milliseconds kPollInterval{100};
// "Buffer too small" lasts while a monitor arrives: asked again after this
// pause, for at least this long whatever the command's wait.
constexpr std::chrono::milliseconds kChangingPause{25};
constexpr std::chrono::seconds kChangingPatience{2};

int32_t SecondsLeft(DeskClock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - DeskClock::now()).count();
  return left > 0 ? static_cast<int32_t>(left) : 0;
}

}  // namespace

Session StartSession(const DeskOrder& order, const DeskWatcher* watcher) {
  return Session{&order, watcher, SecondsFromNow(order.wait_seconds), {}};
}

DeskClock::time_point SecondsFromNow(int32_t seconds) { return DeskClock::now() + std::chrono::seconds(seconds); }

void Pause() { std::this_thread::sleep_for(kPollInterval); }

void TellWaiting(Session& session, const char* what, DeskClock::time_point deadline) {
  if (session.watcher != nullptr && session.watcher->waiting != nullptr) {
    session.watcher->waiting(session.watcher->context, what, SecondsLeft(deadline));
  }
}

DisplayCallResult ReadPatiently(Session& session, DisplayConfig* config, DeskClock::time_point deadline,
                                bool patient, const char* what) {
  const DeskClock::time_point changing_deadline = std::max(deadline, DeskClock::now() + kChangingPatience);
  for (;;) {
    const DisplayCallResult read = ReadDisplayConfig(config);
    switch (read.status) {
      case DisplayCallStatus::kDone:
      case DisplayCallStatus::kNotSupported:
      case DisplayCallStatus::kNoDisplayConfig:
        return read;
      case DisplayCallStatus::kChanging:
        if (DeskClock::now() >= changing_deadline) return read;
        std::this_thread::sleep_for(kChangingPause);
        continue;
      case DisplayCallStatus::kAccessDenied:
      case DisplayCallStatus::kFailed:
        if (!patient || DeskClock::now() >= deadline) return read;
        TellWaiting(session, what, deadline);
        Pause();
        continue;
    }
    return read;
  }
}

DisplayCallResult ReadAfterChange(Session& session, DisplayConfig* config) {
  return ReadPatiently(session, config, DeskClock::now(), false, "");
}

bool WaitForImpl(Session& session, DeskClock::time_point deadline, const char* what, DisplayConfig* config,
                 bool (*arrived)(const DisplayConfig&, void*), void* context) {
  for (;;) {
    DisplayConfig read{};
    if (ReadAfterChange(session, &read).status == DisplayCallStatus::kDone) {
      *config = read;
      if (arrived(read, context)) return true;
    }
    if (DeskClock::now() >= deadline) return false;
    TellWaiting(session, what, deadline);
    Pause();
  }
}

LockTaken TakeLock(Session& session, CommandLock* lock) {
  // Asked in short turns so that the watcher hears the seconds go by.
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(session.deadline - DeskClock::now());
    const int32_t turn = static_cast<int32_t>(std::clamp<int64_t>(left.count(), 0, 1000));
    int32_t error_code = 0;
    switch (TakeCommandLock(turn, lock, &error_code)) {
      case CommandLockResult::kTaken:
        return LockTaken::kTaken;
      case CommandLockResult::kFailed:
        return LockTaken::kFailed;
      case CommandLockResult::kBusy:
        break;
    }
    if (DeskClock::now() >= session.deadline) return LockTaken::kBusy;
    TellWaiting(session, "another velmorin-display to finish", session.deadline);
  }
}
