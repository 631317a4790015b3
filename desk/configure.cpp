#include "desk/configure.h"

#include "desk/desk_text.h"
#include "desk/put_back.h"
#include "layout/arrange.h"
#include "layout/lookup.h"
#include "layout/mode_choice.h"

namespace {

// Windows may activate an arriving display of its own accord: it is given
// this long before it is added, and the add is tried this often.
constexpr std::chrono::seconds kActivationGrace{1};
constexpr int kAddAttempts = 2;
constexpr std::chrono::seconds kHdrSettle{1};

struct Found {
  std::string failure;
  DisplayConfig config;
  std::vector<DisplayRecord> records;
  DisplayRecord record;
};

Found ReadAndFind(Session& session, const std::string& device_path) {
  Found found{};
  const DisplayCallResult read = ReadAfterChange(session, &found.config);
  if (read.status != DisplayCallStatus::kDone) {
    found.failure = ReadProblem(read);
    return found;
  }
  found.records = ListDisplays(found.config);
  const int32_t index = FindDisplay(found.records, device_path);
  if (index < 0) {
    found.failure = "Windows no longer lists " + device_path;
  } else {
    found.record = found.records[static_cast<size_t>(index)];
  }
  return found;
}

bool Listed(const DisplayConfig& config, const std::string& device_path, bool active) {
  const std::vector<DisplayRecord> records = ListDisplays(config);
  const int32_t index = FindDisplay(records, device_path);
  return index >= 0 && (!active || records[static_cast<size_t>(index)].active);
}

// On the desk: given a moment to be activated by Windows, then added.
std::string AddToTheDesk(Session& session, const std::string& device_path, Found* found) {
  DisplayConfig config{};
  if (WaitFor(session, DeskClock::now() + kActivationGrace, "Windows to activate the new display", &config,
              [&](const DisplayConfig& read) { return Listed(read, device_path, true); })) {
    *found = ReadAndFind(session, device_path);
    return found->failure;
  }
  std::string problem;
  for (int attempt = 0; attempt < kAddAttempts; ++attempt) {
    *found = ReadAndFind(session, device_path);
    if (!found->failure.empty()) return found->failure;
    if (found->record.active) return std::string();
    DisplayConfig layout = ActiveLayout(found->config);
    problem = AddToDesk(layout, found->config, device_path);
    if (!problem.empty()) break;
    const DisplayCallResult applied = ApplyDisplayConfig(layout);
    problem = applied.status == DisplayCallStatus::kDone ? "it stays inactive" : "Windows refused it, " + CallProblem(applied);
  }
  *found = ReadAndFind(session, device_path);
  if (found->failure.empty() && found->record.active) return std::string();
  return "Windows did not add " + device_path + " to the desk (" + (found->failure.empty() ? problem : found->failure) + ")";
}

std::string SetMode(Session& session, const std::string& device_path, const DisplayMode& mode, Found* found) {
  const DisplayRecord& record = found->record;
  std::vector<OfferedMode> offered;
  const DisplayCallResult listed = ListOfferedModes(record.gdi_name, &offered);
  const int32_t chosen = listed.status == DisplayCallStatus::kDone
                             ? ChooseOfferedMode(offered, static_cast<uint32_t>(mode.width),
                                                 static_cast<uint32_t>(mode.height), mode.refresh)
                             : -1;
  if (chosen < 0) return record.gdi_name + " does not offer " + AskedMode(mode);
  const OfferedMode& pick = offered[static_cast<size_t>(chosen)];
  const DisplayCallResult changed =
      ChangeSourceModes({SourceModeChange{record.gdi_name, pick.width, pick.height, pick.refresh_hz, record.x, record.y}});
  if (changed.status != DisplayCallStatus::kDone) {
    return "Windows refused " + AskedMode(mode) + " for " + record.gdi_name + ", " + CallProblem(changed);
  }
  *found = ReadAndFind(session, device_path);
  if (!found->failure.empty()) return found->failure;
  const DisplayRecord& now = found->record;
  if (!(RunsMode(now, mode) || (now.width == static_cast<uint32_t>(mode.width) &&
                                now.height == static_cast<uint32_t>(mode.height) && !IsSpecified(now.refresh)))) {
    return "Windows runs " + DescribeDisplay(now) + " instead of " + AskedMode(mode);
  }
  return std::string();
}

// HDR as wished, or a warning and the words that say why not.
std::string SwitchHdr(Session& session, const std::string& device_path, bool on, Found* found) {
  const DisplayRecord& record = found->record;
  const std::string name = record.gdi_name.empty() ? device_path : record.gdi_name;
  if (on && !record.hdr_supported) {
    session.warnings.push_back(name + " cannot do HDR here: Windows reports no advanced colour for it (indirect "
                               "displays need a recent Windows and driver); it stays in SDR");
    return "HDR off (it cannot do HDR here)";
  }
  if (!record.hdr_supported || record.hdr_on == on) return std::string();
  const DisplayCallResult set = SetMonitorHdr(record.adapter, record.target_id, on);
  DisplayConfig config{};
  const bool switched =
      set.status == DisplayCallStatus::kDone &&
      WaitFor(session, DeskClock::now() + kHdrSettle, "Windows to switch HDR", &config, [&](const DisplayConfig& read) {
        const std::vector<DisplayRecord> records = ListDisplays(read);
        const int32_t index = FindDisplay(records, device_path);
        return index >= 0 && records[static_cast<size_t>(index)].hdr_on == on;
      });
  *found = ReadAndFind(session, device_path);
  if (switched) return std::string();
  const char* state = on ? "on" : "off";
  session.warnings.push_back("Windows did not switch HDR " + std::string(state) + " for " + name +
                             (set.status == DisplayCallStatus::kDone ? "" : ", " + CallProblem(set)) + "; it stays " +
                             (on ? "in SDR" : "in HDR"));
  return std::string(on ? "HDR off" : "HDR on") + " (Windows did not switch it " + state + ")";
}

std::string ArrangeLayout(Session& session, const std::string& device_path, LayoutWish wish, Found* found) {
  const bool primary = wish == LayoutWish::kPrimary && !found->record.primary;
  const bool only = wish == LayoutWish::kOnly && CountActive(found->records) > 1;
  if (!primary && !only) return std::string();
  DisplayConfig layout = ActiveLayout(found->config);
  std::string problem = primary ? MakePrimary(layout, device_path) : MakeOnly(layout, device_path);
  if (problem.empty()) {
    RepackPositions(layout);
    problem = ApplyChecked(session, layout);
  }
  if (problem.empty()) {
    *found = ReadAndFind(session, device_path);
    if (!found->failure.empty()) return found->failure;
    // The layout may match and still not be what was asked: Wine shows
    // two displays at 0,0, and a source without a desktop is no primary.
    if (primary && !found->record.primary) problem = "it is still not the primary one";
    if (only && CountActive(found->records) != 1) problem = "other displays are still active";
  }
  if (problem.empty()) return problem;
  return "Windows did not make " + found->record.gdi_name +
         (primary ? " the primary display (" : " the only active display (") + problem + ")";
}

}  // namespace

bool RunsMode(const DisplayRecord& record, const DisplayMode& mode) {
  return record.width == static_cast<uint32_t>(mode.width) && record.height == static_cast<uint32_t>(mode.height) &&
         RefreshMatches(record.refresh, mode.refresh);
}

Configured ConfigureDisplay(Session& session, const std::string& device_path) {
  const DeskOrder& order = *session.order;
  Configured done{};
  done.layout_words = "layout unchanged";
  Found found = ReadAndFind(session, device_path);
  done.failure = found.failure;
  if (done.failure.empty() && !found.record.active) {
    done.failure = AddToTheDesk(session, device_path, &found);
    done.layout_words = "added to the desk";
  }
  if (done.failure.empty() && order.mode_text != nullptr && !RunsMode(found.record, order.mode)) {
    done.failure = SetMode(session, device_path, order.mode, &found);
  }
  if (done.failure.empty() && order.hdr_given) {
    done.hdr_words = SwitchHdr(session, device_path, order.hdr, &found);
    done.failure = found.failure;
  }
  if (done.failure.empty()) done.failure = ArrangeLayout(session, device_path, order.layout, &found);
  if (!done.failure.empty()) return done;
  if (order.layout == LayoutWish::kPrimary) done.layout_words = "the primary display";
  if (order.layout == LayoutWish::kOnly) done.layout_words = "the only active display";
  done.shown = found.record;
  return done;
}
