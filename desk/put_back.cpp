#include "desk/put_back.h"

#include "desk/desk_text.h"
#include "layout/arrange.h"
#include "layout/mode_choice.h"
#include "layout/restore.h"

namespace {

// Windows answers a switch of HDR before its read shows it.
constexpr std::chrono::seconds kHdrSettle{1};
constexpr int32_t kErrorInvalidParameter = 87;

// Applies `layout`; where Windows refuses its target timings (a monitor's
// modes changed since they were read or saved), the source modes alone,
// with Windows choosing the timings and so the rates: `layout` is then what
// was applied, its rates left open.
DisplayCallResult ApplyWithFallback(DisplayConfig* layout) {
  const DisplayCallResult applied = ApplyDisplayConfig(*layout);
  if (applied.status != DisplayCallStatus::kFailed || applied.error_code != kErrorInvalidParameter) return applied;
  DisplayConfig sources_only = *layout;
  bool dropped = false;
  for (DisplayPath& path : sources_only.paths) {
    dropped = dropped || path.target_mode != kNoModeIndex;
    path.target_mode = kNoModeIndex;
    path.refresh = Rational{0, 0};
  }
  if (!dropped) return applied;
  *layout = ActiveLayout(sources_only);
  return ApplyDisplayConfig(*layout);
}

std::string ChangeModes(const RestorePlan& plan) {
  std::vector<SourceModeChange> changes;
  for (const ModeRestore& m : plan.mode_changes) {
    uint32_t hz = 0;
    std::vector<OfferedMode> offered;
    const double rate = m.refresh.denominator == 0 ? 0.0 : double(m.refresh.numerator) / m.refresh.denominator;
    if (rate > 0.0 && ListOfferedModes(m.gdi_name, &offered).status == DisplayCallStatus::kDone) {
      const int32_t chosen = ChooseOfferedMode(offered, m.width, m.height, rate);
      if (chosen >= 0) hz = offered[static_cast<size_t>(chosen)].refresh_hz;
    }
    changes.push_back(SourceModeChange{m.gdi_name, m.width, m.height, hz, m.x, m.y});
  }
  const DisplayCallResult changed = ChangeSourceModes(changes);
  return changed.status == DisplayCallStatus::kDone ? std::string() : "the change of modes failed, " + CallProblem(changed);
}

// Reads until the screens show `wanted` and `hdr_of` (HDR is given a moment
// to settle); what still differs after that.
std::string Verify(Session& session, const DisplayConfig& wanted, const DisplayConfig& hdr_of) {
  const DeskClock::time_point settle = DeskClock::now() + kHdrSettle;
  for (;;) {
    DisplayConfig after{};
    const DisplayCallResult read = ReadAfterChange(session, &after);
    if (read.status != DisplayCallStatus::kDone) return "reading the result failed, " + CallProblem(read);
    std::string problem = CompareLayouts(wanted, ActiveLayout(after));
    if (problem.empty()) problem = CompareHdr(hdr_of, after);
    if (problem.empty() || DeskClock::now() >= settle) return problem;
    Pause();
  }
}

}  // namespace

PutBackResult PutBackLayout(Session& session, const DisplayConfig& layout) {
  PutBackResult result{};
  DisplayConfig now{};
  const DisplayCallResult read = ReadAfterChange(session, &now);
  if (read.status != DisplayCallStatus::kDone) {
    result.problem = "reading the display configuration failed, " + CallProblem(read);
    return result;
  }
  const RestorePlan plan = PlanRestore(layout, now);
  result.gone = plan.gone;
  result.no_source = plan.no_source;
  if (plan.layout.paths.empty()) {
    result.nothing_connected = true;
    return result;
  }
  if (plan.nothing_to_do) return result;
  DisplayConfig applied_layout = plan.layout;
  if (plan.modes_only) {
    if (!plan.mode_changes.empty()) result.problem = ChangeModes(plan);
  } else {
    const DisplayCallResult applied = ApplyWithFallback(&applied_layout);
    if (applied.status != DisplayCallStatus::kDone) result.problem = "applying it failed, " + CallProblem(applied);
  }
  if (!result.problem.empty()) return result;
  for (const HdrRestore& h : plan.hdr_changes) SetMonitorHdr(h.adapter, h.target_id, h.on);
  result.problem = Verify(session, applied_layout, layout);
  return result;
}

std::string ApplyChecked(Session& session, const DisplayConfig& layout) {
  const DisplayCallResult applied = ApplyDisplayConfig(layout);
  if (applied.status != DisplayCallStatus::kDone) return "Windows refused the layout, " + CallProblem(applied);
  return Verify(session, layout, DisplayConfig{});
}
