// detach and restore: the saved desk put back (or, when none of its
// monitors is left, the layout Windows remembers), and for detach the
// displays of ours removed; at the lock screen the remove still goes.
#include <vector>

#include "desk/desk.h"
#include "desk/desk_steps.h"
#include "desk/desk_text.h"
#include "desk/put_back.h"
#include "desk/saved_desk.h"
#include "layout/arrange.h"
#include "platform/file.h"

namespace {

// A remove request per display for detach --all at most: a driver that
// keeps answering 0 without removing anything cannot hold it for ever.
constexpr int32_t kMostRemoves = 64;
constexpr int32_t kDriverHasNone = -1;

// How putting the saved desk back went.
struct DeskBack {
  int status;        // 0, kExitRolledBack, kExitPartly
  std::string said;  // what was done, or what went wrong
  bool changed;      // the screens were changed
};

std::string Names(const std::vector<std::string>& paths) {
  std::string text;
  for (size_t i = 0; i < paths.size(); ++i) text += (i == 0 ? "" : ", ") + paths[i];
  return text;
}

DeskBack ApplyRemembered(const std::string& first) {
  const DisplayCallResult remembered = ApplyRememberedDisplayConfig();
  if (remembered.status == DisplayCallStatus::kDone) {
    return {kExitSuccess, first + "the layout Windows remembers for the monitors now connected was applied", true};
  }
  return {kExitPartly, first + "applying the layout Windows remembers failed too, " + CallProblem(remembered), false};
}

// Puts the saved desk back on `now`, the desk as the command found it.
DeskBack RestoreSavedDesk(Session& session, const DisplayConfig& now) {
  DisplayConfig saved{};
  std::string problem;
  const std::string path = SavedDeskPath();
  switch (ReadSavedDesk(&saved, &problem)) {
    case DeskRead::kNone:
      return {kExitSuccess, "no layout was saved", false};
    case DeskRead::kUnreadable: {
      const std::string aside = SetSavedDeskAside();
      DeskBack back = ApplyRemembered("the saved layout " + path + " cannot be read back (" + problem + "); " +
                                      (aside.empty() ? "it is kept" : "it was set aside as " + aside) + ", and ");
      back.status = kExitPartly;
      return back;
    }
    case DeskRead::kRead:
      break;
  }
  const PutBackResult put = PutBackLayout(session, saved);
  if (put.nothing_connected) {
    DeskBack back = ApplyRemembered("none of the saved monitors is connected; ");
    if (back.status == kExitSuccess) ForgetSavedDesk();
    return back;
  }
  if (!put.problem.empty()) {
    const PutBackResult undone = PutBackLayout(session, ActiveLayout(now));
    if (!undone.problem.empty()) {
      return {kExitPartly,
              "Windows did not put the saved layout back (" + put.problem + "), nor the desk as it was (" +
                  undone.problem + "); " + StaysSaved(),
              true};
    }
    return {kExitRolledBack,
            "Windows did not put the saved layout back (" + put.problem + "); rolled back: the desk is as it was; " +
                StaysSaved(),
            false};
  }
  std::string said = "the saved layout is back";
  if (!put.gone.empty()) said += " without " + Names(put.gone) + " (no longer connected)";
  if (!put.no_source.empty()) {
    return {kExitPartly,
            said + (put.gone.empty() ? " without " : ", nor ") + Names(put.no_source) +
                " (connected, but its adapter has no source left for it); " + StaysSaved(),
            true};
  }
  ForgetSavedDesk();
  return {kExitSuccess, said, true};
}

// One of ours fewer than `before`, as Windows lists them.
bool Dropped(const DisplayConfig& config, int32_t before) { return CountOurs(ListDisplays(config)) < before; }

std::string OthersStay(int32_t left) {
  if (left <= 0) return std::string();
  return "; " + std::to_string(left) + (left == 1 ? " other display of ours stays" : " other displays of ours stay") +
         " (velmorin-display detach --all removes every one)";
}

DeskOutcome DetachLocked(Session& session) {
  const DeskOrder& order = *session.order;
  DisplayConfig now{};
  const DisplayCallResult read = ReadPatiently(session, &now, session.deadline, true,
                                               "Windows to allow access to the display configuration");
  if (read.status == DisplayCallStatus::kNotSupported) {
    return Failure(session, kExitNoDisplayConfig, ReadProblem(read) + "; nothing removed");
  }
  // Without a read the remove still goes: Windows then arranges the
  // monitors left as it remembers them, and the saved desk waits for a restore.
  if (read.status != DisplayCallStatus::kDone) {
    const HostReport removed = RemoveForHost();
    if (removed.status != kExitSuccess) return Failure(session, removed.status, removed.line);
    const std::string path = SavedDeskPath();
    return Failure(session, kExitPartly,
                   ReadProblem(read) + "; the remove request was sent, and Windows arranges the monitors left as it "
                                       "remembers them" +
                       (!path.empty() && PathExists(path.c_str()) ? "; " + StaysSaved() : ""));
  }
  int32_t ours = CountOurs(ListDisplays(now));
  const DeskBack back = RestoreSavedDesk(session, now);
  int32_t removed = 0;
  for (;;) {
    const HostReport report = RemoveForHost();
    const bool none_left = report.answered && report.driver_status == kDriverHasNone;
    if (none_left && removed > 0) break;  // --all: the driver has none left
    if (report.status != kExitSuccess) {
      std::string line = none_left ? "the driver had no display to remove" : report.line;
      if (back.changed) line += "; " + back.said;
      const bool partly = back.changed && (report.status == kExitNotSent || report.status == kExitNoReply);
      return Failure(session, partly ? kExitPartly : report.status, line);
    }
    ++removed;
    DisplayConfig after{};
    // Windows never showed one of ours: there is nothing to see go.
    if (ours > 0 && !WaitFor(session, SecondsFromNow(order.wait_seconds), "Windows to drop the display", &after,
                             [&](const DisplayConfig& config) { return Dropped(config, ours); })) {
      return Failure(session, kExitPartly,
                     "the driver removed a display, but Windows still lists " + std::to_string(CountOurs(ListDisplays(after))) +
                         " of ours after " + Seconds(order.wait_seconds) + "; " + back.said);
    }
    ours = ours > 0 ? CountOurs(ListDisplays(after)) : 0;
    if (!order.all || ours == 0 || removed >= kMostRemoves) break;
  }
  const std::string what =
      removed == 1 ? "removed a display of ours" : "removed " + std::to_string(removed) + " displays of ours";
  if (back.status != kExitSuccess) {
    return Failure(session, kExitPartly, what + ", but " + back.said);
  }
  return Success(session, what + "; " + back.said + (order.all ? "" : OthersStay(ours)));
}

DeskOutcome RestoreLocked(Session& session) {
  DisplayConfig now{};
  DeskOutcome outcome{};
  if (ReadToStart(session, &now, "nothing changed", &outcome) >= 0) return outcome;
  const DeskBack back = RestoreSavedDesk(session, now);
  if (back.status == kExitSuccess) return Success(session, back.said);
  return Failure(session, back.status, back.said);
}

// The driver's half alone, where there is no Windows display configuration:
// one remove request, or with --all one until the driver has none left.
DeskOutcome RemoveOnly(Session& session) {
  if (!session.order->all) {
    const HostReport report = RemoveForHost();
    return DeskOutcome{report.status, session.warnings, report.line, report.status != kExitSuccess};
  }
  int32_t removed = 0;
  for (; removed < kMostRemoves; ++removed) {
    const HostReport report = RemoveForHost();
    if (report.answered && report.driver_status == kDriverHasNone) break;
    if (report.status != kExitSuccess) return DeskOutcome{report.status, session.warnings, report.line, true};
  }
  if (removed == 0) return Failure(session, kExitDriverStatus, "the driver had no display to remove");
  return Success(session, "removed " + std::to_string(removed) + (removed == 1 ? " display" : " displays") +
                              " of ours; the driver has none left");
}

}  // namespace

DeskOutcome DetachDisplay(const DeskOrder& order, const DeskWatcher* watcher) {
  Session session = StartSession(order, watcher);
  if (!HasDisplayConfig()) {
    DeskOutcome refused{};
    if (RefuseWithoutDisplays(session, "detach", "nothing sent", &refused)) return refused;
    return RemoveOnly(session);
  }
  return WithLock(session, "nothing removed", DetachLocked);
}

DeskOutcome RestoreDesk(const DeskOrder& order, const DeskWatcher* watcher) {
  Session session = StartSession(order, watcher);
  if (!HasDisplayConfig()) return NeedsDisplayConfig(session, "restore");
  return WithLock(session, "nothing changed", RestoreLocked);
}

DeskOutcome ListDesk(std::vector<DisplayRecord>* records) {
  const DeskOrder order{};
  Session session = StartSession(order, nullptr);
  if (!HasDisplayConfig()) return NeedsDisplayConfig(session, "list");
  DisplayConfig config{};
  DeskOutcome outcome{};
  if (ReadToStart(session, &config, "nothing changed", &outcome) >= 0) return outcome;
  *records = ListDisplays(config);
  return Success(session, std::string());
}
