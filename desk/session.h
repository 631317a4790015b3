// One command's time and patience: its deadline, the reads that retry what
// Windows answers while monitors come and go, the waits that tell a watcher
// what they wait for, and the per-user lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "desk/desk.h"
#include "platform/display_config.h"
#include "platform/user_state.h"

using DeskClock = std::chrono::steady_clock;

struct Session {
  const DeskOrder* order;
  const DeskWatcher* watcher;
  DeskClock::time_point deadline;  // the command's --wait, from its start
  std::vector<std::string> warnings;
};

Session StartSession(const DeskOrder& order, const DeskWatcher* watcher);

// A deadline `seconds` from now.
DeskClock::time_point SecondsFromNow(int32_t seconds);

// Reads Windows' configuration. "Buffer too small" (a monitor arriving) is
// asked again after a pause, for at least 2 s and up to `deadline`; with
// `patient`, refused access and other failures are asked again up to
// `deadline` too, telling the watcher `what` it waits for.
DisplayCallResult ReadPatiently(Session& session, DisplayConfig* config, DeskClock::time_point deadline,
                                bool patient, const char* what);

// A read right after a change: "buffer too small" asked again, nothing else.
DisplayCallResult ReadAfterChange(Session& session, DisplayConfig* config);

// Reads until `arrived` says yes or `deadline` passes, pausing between
// reads; a failed read counts as "not yet". True when it said yes; `config`
// is the last configuration read.
template <typename Test>
bool WaitFor(Session& session, DeskClock::time_point deadline, const char* what, DisplayConfig* config, Test&& arrived);

// Tells the watcher what the command waits for until `deadline`.
void TellWaiting(Session& session, const char* what, DeskClock::time_point deadline);

// Sleeps a poll interval.
void Pause();

// The lock, waited for up to the command's deadline.
enum class LockTaken { kTaken, kBusy, kFailed };
LockTaken TakeLock(Session& session, CommandLock* lock);

bool WaitForImpl(Session& session, DeskClock::time_point deadline, const char* what, DisplayConfig* config,
                 bool (*arrived)(const DisplayConfig&, void*), void* context);

template <typename Test>
bool WaitFor(Session& session, DeskClock::time_point deadline, const char* what, DisplayConfig* config, Test&& arrived) {
  return WaitForImpl(
      session, deadline, what, config,
      [](const DisplayConfig& read, void* context) { return (*static_cast<Test*>(context))(read); },
      static_cast<void*>(&arrived));
}
