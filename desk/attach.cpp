// attach: the desk saved, the monitor sent to the driver, the new display
// awaited and brought where it is asked; after any failure past the
// driver's yes, the monitor removed again and the desk put back.
#include "desk/configure.h"
#include "desk/desk.h"
#include "desk/desk_steps.h"
#include "desk/desk_text.h"
#include "desk/put_back.h"
#include "desk/saved_desk.h"
#include "layout/arrange.h"

namespace {

// What the command knows once the driver took the monitor.
struct Attached {
  DisplayConfig before;    // the desk as it was before the command
  bool saved_now;          // this command wrote the saved desk
  std::string device_path; // the new display, once Windows lists it
};

// The EDID of the monitor asked for, as "velmorin-edid MODE" makes it. Empty,
// or why the mode cannot be made (a usage error).
std::string MakeEdidFor(const DeskOrder& order, uint8_t (&edid)[kMadeEdidSize]) {
  const char* names[] = {order.mode_text};
  const MonitorOrder monitor{&order.mode, names, 1, order.hdr_given && order.hdr, order.audio, kIdentityName, 0, 0, 0};
  MakeEdidResult made{};
  return MakeMonitorEdid(monitor, edid, made);
}

DeskOutcome FromReport(Session& session, const HostReport& report) {
  // Every failure goes to the error stream, a driver's other status too.
  return DeskOutcome{report.status, session.warnings, report.line, report.status != kExitSuccess};
}

// Whether Windows still lists the display, or, when it never showed, more
// displays of ours than before.
bool StillListed(const DisplayConfig& config, const Attached& attached) {
  const std::vector<DisplayRecord> records = ListDisplays(config);
  if (!attached.device_path.empty()) return FindDisplay(records, attached.device_path) >= 0;
  return CountOurs(records) > CountOurs(ListDisplays(attached.before));
}

// Undoes an attach that failed after the driver took the monitor: the desk
// as it was, one remove request, the display awaited until Windows lists it
// no more, the desk checked again, the saved desk this command wrote deleted.
DeskOutcome RollBack(Session& session, const Attached& attached, const std::string& failure) {
  const DeskOrder& order = *session.order;
  if (order.keep) {
    return Failure(session, kExitRolledBack,
                   failure + "; the monitor stays attached and the saved layout stays saved (--keep)");
  }
  // First the user's screens, so that nobody is left in the dark if the remove fails.
  const DisplayConfig before = ActiveLayout(attached.before);
  PutBackLayout(session, before);
  const HostReport removed = RemoveForHost();
  if (removed.status != kExitSuccess) {
    return Failure(session, kExitPartly,
                   failure + "; rolling back, " + removed.line +
                       "; the monitor may stay attached (velmorin-display detach removes it and puts the saved "
                       "layout back)");
  }
  DisplayConfig now{};
  if (!WaitFor(session, SecondsFromNow(order.wait_seconds), "Windows to drop the display", &now,
               [&](const DisplayConfig& read) { return !StillListed(read, attached); })) {
    return Failure(session, kExitPartly,
                   failure + "; rolling back, the driver removed the monitor, but Windows still lists it after " +
                       Seconds(order.wait_seconds) + "; " + StaysSaved());
  }
  const PutBackResult put = PutBackLayout(session, before);
  if (!put.problem.empty()) {
    return Failure(session, kExitPartly,
                   failure + "; rolling back, the monitor was removed, but the desk is not as it was (" + put.problem +
                       "); " + StaysSaved());
  }
  if (attached.saved_now) ForgetSavedDesk();
  return Failure(session, kExitRolledBack, failure + "; rolled back: the monitor was removed and the desk is as it was");
}

DeskOutcome AttachLocked(Session& session, const uint8_t (&edid)[kMadeEdidSize]) {
  const DeskOrder& order = *session.order;
  Attached attached{};
  DeskOutcome outcome{};
  if (ReadToStart(session, &attached.before, "nothing sent", &outcome) >= 0) return outcome;
  const std::string problem = SaveBeforeChange(session, attached.before, true, &attached.saved_now);
  if (!problem.empty()) return Failure(session, kExitNotSent, problem + "; nothing sent");

  const HostReport report = AttachForHost(edid, order.mode, order.mode_text);
  if (report.status != kExitSuccess) {
    // Nothing was attached: a desk saved for this attach alone goes again.
    if (attached.saved_now && (report.status == kExitNotSent || report.status == kExitDriverStatus)) ForgetSavedDesk();
    return FromReport(session, report);
  }

  const std::vector<DisplayRecord> before = ListDisplays(attached.before);
  DisplayConfig now{};
  const bool shown = WaitFor(session, SecondsFromNow(order.wait_seconds), "Windows to show the new display", &now,
                             [&](const DisplayConfig& read) { return FindNewDisplay(before, ListDisplays(read)) >= 0; });
  if (!shown) {
    return RollBack(session, attached,
                    "the driver took " + std::string(order.mode_text) + ", but Windows showed no new display of ours within " +
                        Seconds(order.wait_seconds));
  }
  const std::vector<DisplayRecord> after = ListDisplays(now);
  attached.device_path = after[static_cast<size_t>(FindNewDisplay(before, after))].device_path;
  const Configured configured = ConfigureDisplay(session, attached.device_path);
  if (!configured.failure.empty()) return RollBack(session, attached, configured.failure);
  return Success(session, "attached " + std::string(order.mode_text) + " as " +
                              DescribeDisplay(configured.shown, configured.hdr_words) + ", " + configured.layout_words);
}

}  // namespace

std::string AttachModeProblem(const DeskOrder& order) {
  uint8_t edid[kMadeEdidSize];
  return MakeEdidFor(order, edid);
}

bool HasDisplayConfig() {
  DisplayConfig config{};
  return ReadDisplayConfig(&config).status != DisplayCallStatus::kNoDisplayConfig;
}

DeskOutcome AttachDisplay(const DeskOrder& order, const DeskWatcher* watcher) {
  Session session = StartSession(order, watcher);
  uint8_t edid[kMadeEdidSize];
  const std::string problem = MakeEdidFor(order, edid);
  if (!problem.empty()) return Failure(session, kExitUsage, problem);
  if (!HasDisplayConfig()) {
    DeskOutcome refused{};
    if (RefuseWithoutDisplays(session, "attach", "nothing sent", &refused)) return refused;
    return FromReport(session, AttachForHost(edid, order.mode, order.mode_text));
  }
  return WithLock(session, "nothing sent", [&](Session& locked) { return AttachLocked(locked, edid); });
}
