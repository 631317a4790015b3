// use: the attach's steps for a display that is there; a failure puts
// back what it changed.
#include "desk/configure.h"
#include "desk/desk.h"
#include "desk/desk_steps.h"
#include "desk/desk_text.h"
#include "desk/put_back.h"
#include "desk/saved_desk.h"
#include "layout/arrange.h"

namespace {

// Whether the order changes anything of `record`'s: only then is the desk saved.
bool Changes(const DeskOrder& order, const DisplayRecord& record, const std::vector<DisplayRecord>& records) {
  return !record.active || (order.mode_text != nullptr && !RunsMode(record, order.mode)) ||
         (order.hdr_given && order.hdr != (record.hdr_supported && record.hdr_on)) ||
         (order.layout == LayoutWish::kPrimary && !record.primary) ||
         (order.layout == LayoutWish::kOnly && CountActive(records) > 1);
}

DeskOutcome UseLocked(Session& session) {
  const DeskOrder& order = *session.order;
  DisplayConfig before{};
  DeskOutcome outcome{};
  if (ReadToStart(session, &before, "nothing changed", &outcome) >= 0) return outcome;
  const std::vector<DisplayRecord> records = ListDisplays(before);
  const int32_t index = FindDisplay(records, order.display);
  if (index < 0) {
    return Failure(session, kExitFailure,
                   "no display " + std::string(order.display) + " (velmorin-display list --all shows them)");
  }
  const DisplayRecord& record = records[static_cast<size_t>(index)];
  bool saved_now = false;
  if (Changes(order, record, records)) {
    const std::string problem = SaveBeforeChange(session, before, false, &saved_now);
    if (!problem.empty()) return Failure(session, kExitNotSent, problem + "; nothing changed");
  }
  const Configured configured = ConfigureDisplay(session, record.device_path);
  if (configured.failure.empty()) {
    return Success(session, DescribeDisplay(configured.shown, configured.hdr_words) + ", " + configured.layout_words);
  }
  const PutBackResult put = PutBackLayout(session, ActiveLayout(before));
  if (!put.problem.empty()) {
    return Failure(session, kExitPartly,
                   configured.failure + "; putting the desk back failed (" + put.problem + "); " + StaysSaved());
  }
  if (saved_now) ForgetSavedDesk();
  return Failure(session, kExitRolledBack, configured.failure + "; rolled back: the desk is as it was");
}

}  // namespace

DeskOutcome UseDisplay(const DeskOrder& order, const DeskWatcher* watcher) {
  Session session = StartSession(order, watcher);
  if (!HasDisplayConfig()) return NeedsDisplayConfig(session, "use");
  return WithLock(session, "nothing changed", UseLocked);
}
