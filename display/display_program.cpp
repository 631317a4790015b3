#include "display/display_program.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "display/command_line.h"
#include "display/desk_file.h"
#include "display/display_text.h"
#include "edid/base_block.h"
#include "layout/arrange.h"
#include "layout/display_list.h"
#include "layout/mode_choice.h"
#include "layout/restore.h"

#ifndef VELMORIN_VERSION
#define VELMORIN_VERSION "0.0.0"
#endif

namespace {

constexpr const char* kProgram = "velmorin-display";
// Windows' configuration is asked again this often while a display is awaited:
// a console program has no window for the display-change message, and that
// message does not come for a monitor that arrives inactive.
constexpr std::chrono::milliseconds kPollInterval{100};

constexpr const char* kUsage =
    "Usage: velmorin-display list [--all] [--json]\n"
    "       velmorin-display attach MODE [--hdr[=VALUE]] [--audio] [--primary | --only] [--wait SECONDS]\n"
    "       velmorin-display use DISPLAY [MODE] [--hdr[=VALUE]] [--primary | --only]\n"
    "       velmorin-display detach [--wait SECONDS]\n"
    "       velmorin-display restore\n"
    "\n"
    "Sees the displays of ours (monitor KovraMonitor) in Windows' display configuration,\n"
    "waits for the one an attach adds, and makes it the stream's display.\n"
    "\n"
    "  list           one line per display of ours: name, monitor, mode, position,\n"
    "                 primary, HDR, device path (tab-separated); --all: every display;\n"
    "                 --json: the same records as one JSON array\n"
    "  attach MODE    makes the EDID as \"velmorin-edid MODE\" does and sends it to the\n"
    "                 driver, waits (--wait, default 10 s) until Windows shows the new\n"
    "                 display, sets its mode and HDR; --primary makes it the primary\n"
    "                 display, --only the only active one. The desk is saved first.\n"
    "  use DISPLAY    the same steps for a display that is there: \\\\.\\DISPLAY7, 7, or a\n"
    "                 monitor's device path; its mode set to MODE when given\n"
    "  detach         puts the saved desk back, asks the driver to remove a display,\n"
    "                 and waits until Windows lists one display of ours fewer\n"
    "  restore        puts the saved desk back, and removes nothing\n"
    "\n"
    "MODE is WIDTHxHEIGHTxREFRESH, as in 2560x1440x120. --hdr=VALUE takes true, 1, yes,\n"
    "on or false, 0, no, off (any case).\n"
    "\n"
    "Exit status: 0 done; 1 anything else; 2 usage error, nothing sent or changed;\n"
    "3 the driver answered another status; 4 nothing was sent (no driver, the connect\n"
    "failed); 5 sent, but no acceptable reply (the monitor may be attached); 6 Windows\n"
    "did not show or drop the display in time, or a mode, HDR or layout could not be\n"
    "applied; 7 this system has no Windows display configuration.\n";

int Complain(const Console& console, int status, const std::string& message) {
  std::fprintf(console.err, "%s: %s\n", kProgram, message.c_str());
  return status;
}

std::string Seconds(int32_t seconds) { return std::to_string(seconds) + " s"; }

// What a command that must read the configuration says when it cannot.
// Returns the status, or -1 when `config` was read.
int Read(const Console& console, DisplayConfig* config, const std::string& what, const std::string& stays) {
  const DisplayCallResult read = ReadDisplayConfig(config);
  switch (read.status) {
    case DisplayCallStatus::kDone:
      return -1;
    case DisplayCallStatus::kAccessDenied:
      return Complain(console, kExitNotApplied,
                      "Windows refuses access to the display configuration here (a service, another session, the "
                      "lock screen, or the first seconds after logon); " +
                          stays);
    case DisplayCallStatus::kNotSupported:
      return Complain(console, kExitNoDisplayConfig, "this system has no display driver model to ask; " + stays);
    case DisplayCallStatus::kNoDisplayConfig:
      return Complain(console, kExitNoDisplayConfig,
                      what + " needs Windows' display configuration, which this system does not have");
    case DisplayCallStatus::kFailed:
      break;
  }
  return Complain(console, kExitFailure,
                  "reading the display configuration failed, error " + std::to_string(read.error_code) + "; " + stays);
}

// A display call that failed, as the end of a message.
std::string CallProblem(const DisplayCallResult& result) {
  if (result.status == DisplayCallStatus::kAccessDenied) return "Windows refused access";
  return "error " + std::to_string(result.error_code);
}

const char* ModeOf(const DisplayCommand& command) { return command.mode_text; }

std::string AskedMode(const DisplayMode& mode) {
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + " at " + std::to_string(mode.refresh) +
         " Hz";
}

// The display `device_path` in a fresh read, or -1 after saying why not.
struct Found {
  int status;  // -1: found
  DisplayConfig config;
  std::vector<DisplayRecord> records;
  int32_t index;
};

Found ReadAndFind(const Console& console, const std::string& device_path, const std::string& stays) {
  Found found{};
  found.status = Read(console, &found.config, "this", stays);
  if (found.status >= 0) return found;
  found.records = ListDisplays(found.config);
  found.index = FindDisplay(found.records, device_path);
  if (found.index < 0) found.status = Complain(console, kExitNotApplied, "Windows no longer lists " + device_path + "; " + stays);
  return found;
}

// Puts `saved` back on today's configuration `now`. Empty string, or what
// went wrong; `gone` gets the saved monitors no longer connected.
std::string PutBack(const DisplayConfig& saved, const DisplayConfig& now, std::vector<std::string>* gone) {
  const RestorePlan plan = PlanRestore(saved, now);
  *gone = plan.gone;
  if (plan.nothing_to_do) return std::string();
  if (plan.modes_only) {
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
    if (changed.status != DisplayCallStatus::kDone) return "the change of modes failed, " + CallProblem(changed);
  } else {
    const DisplayCallResult applied = ApplyDisplayConfig(plan.layout);
    if (applied.status != DisplayCallStatus::kDone) return "applying it failed, " + CallProblem(applied);
  }
  for (const HdrRestore& h : plan.hdr_changes) SetMonitorHdr(h.adapter, h.target_id, h.on);
  DisplayConfig after{};
  const DisplayCallResult read = ReadDisplayConfig(&after);
  if (read.status != DisplayCallStatus::kDone) return "reading the result failed, " + CallProblem(read);
  return CompareLayouts(plan.layout, ActiveLayout(after));
}

// Puts the saved desk back after a layout Windows did not apply as asked.
std::string PutBackAfterFailure() {
  DisplayConfig saved{};
  DisplayConfig now{};
  std::string problem;
  std::vector<std::string> gone;
  if (ReadSavedDesk(&saved, &problem) != DeskRead::kRead ||
      ReadDisplayConfig(&now).status != DisplayCallStatus::kDone) {
    ApplyRememberedDisplayConfig();
    return "the layout Windows remembers was applied again";
  }
  return PutBack(saved, now, &gone).empty() ? "the saved layout was applied again"
                                            : "the saved layout could not be applied again";
}

// Applies `wanted` and checks that Windows shows it. Empty string, or what
// went wrong (after the saved desk was applied again).
std::string ApplyChecked(const DisplayConfig& wanted) {
  const DisplayCallResult applied = ApplyDisplayConfig(wanted);
  std::string problem;
  if (applied.status != DisplayCallStatus::kDone) {
    problem = "Windows refused the layout, " + CallProblem(applied);
  } else {
    DisplayConfig after{};
    const DisplayCallResult read = ReadDisplayConfig(&after);
    problem = read.status != DisplayCallStatus::kDone ? "reading the result failed, " + CallProblem(read)
                                                      : CompareLayouts(wanted, ActiveLayout(after));
  }
  if (problem.empty()) return problem;
  return problem + "; " + PutBackAfterFailure();
}

int32_t ActiveCount(const std::vector<DisplayRecord>& records) {
  int32_t count = 0;
  for (const DisplayRecord& r : records) count += r.active ? 1 : 0;
  return count;
}

// Brings the display `device_path` where the command asks: on the desk, in
// its MODE, HDR as asked, then the layout. 0, or the status after one line
// on the error stream; `shown` is the display as it ends, `layout_words`
// what was done to the layout.
int Configure(const Console& console, const DisplayCommand& command, const std::string& device_path,
              const std::string& stays, DisplayRecord* shown, std::string* layout_words) {
  Found found = ReadAndFind(console, device_path, stays);
  if (found.status >= 0) return found.status;
  *layout_words = "layout unchanged";
  if (!found.records[static_cast<size_t>(found.index)].active) {
    DisplayConfig layout = ActiveLayout(found.config);
    std::string problem = AddToDesk(layout, found.config, device_path);
    if (problem.empty()) {
      const DisplayCallResult applied = ApplyDisplayConfig(layout);
      if (applied.status != DisplayCallStatus::kDone) problem = "Windows refused it, " + CallProblem(applied);
    }
    found = ReadAndFind(console, device_path, stays);
    if (found.status >= 0) return found.status;
    if (problem.empty() && !found.records[static_cast<size_t>(found.index)].active) problem = "it stays inactive";
    if (!problem.empty()) {
      return Complain(console, kExitNotApplied, "Windows did not add " + device_path + " to the desk (" + problem +
                                                    "); " + stays);
    }
    *layout_words = "added to the desk";
  }
  DisplayRecord record = found.records[static_cast<size_t>(found.index)];
  const DisplayMode& mode = command.mode;
  if (ModeOf(command) != nullptr &&
      !(record.width == static_cast<uint32_t>(mode.width) && record.height == static_cast<uint32_t>(mode.height) &&
        RefreshMatches(record.refresh, mode.refresh))) {
    std::vector<OfferedMode> offered;
    const DisplayCallResult listed = ListOfferedModes(record.gdi_name, &offered);
    const int32_t chosen = listed.status == DisplayCallStatus::kDone
                               ? ChooseOfferedMode(offered, static_cast<uint32_t>(mode.width),
                                                   static_cast<uint32_t>(mode.height), mode.refresh)
                               : -1;
    if (chosen < 0) {
      return Complain(console, kExitNotApplied,
                      record.gdi_name + " does not offer " + AskedMode(mode) + "; " + stays);
    }
    const OfferedMode& pick = offered[static_cast<size_t>(chosen)];
    const DisplayCallResult changed =
        ChangeSourceModes({SourceModeChange{record.gdi_name, pick.width, pick.height, pick.refresh_hz, record.x, record.y}});
    if (changed.status != DisplayCallStatus::kDone) {
      return Complain(console, kExitNotApplied, "Windows refused " + AskedMode(mode) + " for " + record.gdi_name +
                                                    ", " + CallProblem(changed) + "; " + stays);
    }
    found = ReadAndFind(console, device_path, stays);
    if (found.status >= 0) return found.status;
    record = found.records[static_cast<size_t>(found.index)];
    if (!(record.width == static_cast<uint32_t>(mode.width) && record.height == static_cast<uint32_t>(mode.height) &&
          (RefreshMatches(record.refresh, mode.refresh) || FormatRefresh(record.refresh) == "unspecified"))) {
      return Complain(console, kExitNotApplied, "Windows runs " + DescribeDisplay(record) + " instead of " +
                                                    AskedMode(mode) + "; " + stays);
    }
  }
  if (command.hdr_given && command.hdr && !record.hdr_supported) {
    return Complain(console, kExitNotApplied,
                    record.gdi_name + " cannot do HDR here: Windows reports no advanced colour for it (indirect "
                    "displays need a recent Windows and driver); " + stays);
  }
  if (command.hdr_given && record.hdr_supported && record.hdr_on != command.hdr) {
    const DisplayCallResult set = SetMonitorHdr(record.adapter, record.target_id, command.hdr);
    found = ReadAndFind(console, device_path, stays);
    if (found.status >= 0) return found.status;
    record = found.records[static_cast<size_t>(found.index)];
    if (set.status != DisplayCallStatus::kDone || record.hdr_on != command.hdr) {
      return Complain(console, kExitNotApplied, "Windows did not switch HDR " + std::string(command.hdr ? "on" : "off") +
                                                    " for " + record.gdi_name + "; " + stays);
    }
  }
  const bool primary = command.layout == LayoutWish::kPrimary && !record.primary;
  const bool only = command.layout == LayoutWish::kOnly && ActiveCount(found.records) > 1;
  if (primary || only) {
    DisplayConfig layout = ActiveLayout(found.config);
    std::string problem = primary ? MakePrimary(layout, device_path) : MakeOnly(layout, device_path);
    if (problem.empty()) {
      RepackPositions(layout);
      problem = ApplyChecked(layout);
    }
    if (problem.empty()) {
      found = ReadAndFind(console, device_path, stays);
      if (found.status >= 0) return found.status;
      record = found.records[static_cast<size_t>(found.index)];
      // The layout may match and still not be what was asked: Wine shows
      // two displays at 0,0, and a source without a desktop is no primary.
      if (primary && !record.primary) problem = "it is still not the primary one";
      if (only && ActiveCount(found.records) != 1) problem = "other displays are still active";
      if (!problem.empty()) problem += "; " + PutBackAfterFailure();
    }
    if (!problem.empty()) {
      return Complain(console, kExitNotApplied,
                      "Windows did not make " + record.gdi_name +
                          (primary ? " the primary display (" : " the only active display (") + problem + "); " +
                          stays);
    }
  }
  if (command.layout == LayoutWish::kPrimary) *layout_words = "the primary display";
  if (command.layout == LayoutWish::kOnly) *layout_words = "the only active display";
  *shown = record;
  return kExitSuccess;
}

int List(const Console& console, const DisplayCommand& command) {
  DisplayConfig config{};
  const int failed = Read(console, &config, "list", "nothing changed");
  if (failed >= 0) return failed;
  std::vector<DisplayRecord> records;
  for (const DisplayRecord& r : ListDisplays(config)) {
    if (command.all || IsOurs(r)) records.push_back(r);
  }
  if (command.json) {
    std::fputs(FormatDisplayJson(records).c_str(), console.out);
  } else {
    for (const DisplayRecord& r : records) std::fprintf(console.out, "%s\n", FormatDisplayLine(r).c_str());
  }
  return kExitSuccess;
}

// Refused before anything is sent on a system without Windows' display
// configuration; -1 when the command may go on.
int RefuseWithoutDisplays(const Console& console, const DisplayCommand& command, const char* verb) {
  const char* option = command.wait_given                     ? "--wait"
                       : command.layout == LayoutWish::kPrimary ? "--primary"
                       : command.layout == LayoutWish::kOnly    ? "--only"
                                                                : nullptr;
  if (option == nullptr) return -1;
  DisplayConfig config{};
  if (ReadDisplayConfig(&config).status != DisplayCallStatus::kNoDisplayConfig) return -1;
  return Complain(console, kExitNoDisplayConfig,
                  std::string(verb) + " " + option +
                      " needs Windows' display configuration, which this system does not have; nothing sent");
}

bool HasDisplayConfig() {
  DisplayConfig config{};
  return ReadDisplayConfig(&config).status != DisplayCallStatus::kNoDisplayConfig;
}

int Attach(const Console& console, const DisplayCommand& command) {
  const int refused = RefuseWithoutDisplays(console, command, "attach");
  if (refused >= 0) return refused;
  const char* names[] = {command.mode_text};
  MonitorOrder order{};
  order.modes = &command.mode;
  order.mode_texts = names;
  order.mode_count = 1;
  order.hdr = command.hdr_given && command.hdr;
  order.audio = command.audio;
  order.name = kIdentityName;
  uint8_t edid[kMadeEdidSize];
  MakeEdidResult made{};
  const std::string problem = MakeMonitorEdid(order, edid, made);
  if (!problem.empty()) return Complain(console, kExitUsage, problem);
  if (!HasDisplayConfig()) return PrintHostReport(AttachForHost(edid, command.mode, command.mode_text), kProgram, console);

  DisplayConfig config{};
  const int failed = Read(console, &config, "attach", "nothing sent");
  if (failed >= 0) return failed;
  const std::vector<DisplayRecord> before = ListDisplays(config);
  const DeskSave saved = SaveDeskOnce(config);
  if (saved == DeskSave::kFailed) {
    return Complain(console, kExitFailure, "cannot save the layout to " + SavedDeskPath() + "; nothing sent");
  }
  const HostReport report = AttachForHost(edid, command.mode, command.mode_text);
  if (report.status != kExitSuccess) {
    // Nothing was attached: a layout saved for this attach alone goes again.
    if (saved == DeskSave::kSaved && (report.status == kExitNotSent || report.status == kExitDriverStatus)) {
      ForgetSavedDesk();
    }
    return PrintHostReport(report, kProgram, console);
  }

  const std::string stays = "the monitor stays attached and the saved layout stays saved";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(command.wait_seconds);
  std::string device_path;
  while (device_path.empty()) {
    const int again = Read(console, &config, "attach", stays);
    if (again >= 0) return again;
    const std::vector<DisplayRecord> after = ListDisplays(config);
    const int32_t added = FindNewDisplay(before, after);
    if (added >= 0) {
      device_path = after[static_cast<size_t>(added)].device_path;
    } else if (std::chrono::steady_clock::now() >= deadline) {
      return Complain(console, kExitNotApplied,
                      "the driver took " + std::string(command.mode_text) +
                          ", but Windows showed no new display of ours within " + Seconds(command.wait_seconds) +
                          "; the monitor stays attached (velmorin-display detach removes it)");
    } else {
      std::this_thread::sleep_for(kPollInterval);
    }
  }
  DisplayRecord shown{};
  std::string layout_words;
  const int status = Configure(console, command, device_path, stays, &shown, &layout_words);
  if (status != kExitSuccess) return status;
  std::fprintf(console.out, "attached %s as %s, %s\n", command.mode_text, DescribeDisplay(shown).c_str(),
               layout_words.c_str());
  return kExitSuccess;
}

int Use(const Console& console, const DisplayCommand& command) {
  DisplayConfig config{};
  const int failed = Read(console, &config, "use", "nothing changed");
  if (failed >= 0) return failed;
  const std::vector<DisplayRecord> records = ListDisplays(config);
  const int32_t index = FindDisplay(records, command.display);
  if (index < 0) {
    return Complain(console, kExitFailure,
                    "no display " + std::string(command.display) + " (velmorin-display list --all shows them)");
  }
  const DisplayRecord& record = records[static_cast<size_t>(index)];
  const DisplayMode& mode = command.mode;
  const bool changes =
      !record.active ||
      (command.mode_text != nullptr &&
       !(record.width == static_cast<uint32_t>(mode.width) && record.height == static_cast<uint32_t>(mode.height) &&
         RefreshMatches(record.refresh, mode.refresh))) ||
      (command.hdr_given && command.hdr != (record.hdr_supported && record.hdr_on)) ||
      (command.layout == LayoutWish::kPrimary && !record.primary) ||
      (command.layout == LayoutWish::kOnly && ActiveCount(records) > 1);
  if (changes && SaveDeskOnce(config) == DeskSave::kFailed) {
    return Complain(console, kExitFailure, "cannot save the layout to " + SavedDeskPath() + "; nothing changed");
  }
  DisplayRecord shown{};
  std::string layout_words;
  const int status = Configure(console, command, record.device_path, "the saved layout stays saved", &shown,
                               &layout_words);
  if (status != kExitSuccess) return status;
  std::fprintf(console.out, "%s, %s\n", DescribeDisplay(shown).c_str(), layout_words.c_str());
  return kExitSuccess;
}

// The layout part of detach and restore. 0 with `said` telling what was
// done, or the status after one line on the error stream.
int RestoreSavedDesk(const Console& console, const DisplayConfig& now, std::string* said) {
  DisplayConfig saved{};
  std::string problem;
  const std::string path = SavedDeskPath();
  switch (ReadSavedDesk(&saved, &problem)) {
    case DeskRead::kNone:
      *said = "no layout was saved";
      return kExitSuccess;
    case DeskRead::kUnreadable: {
      const DisplayCallResult remembered = ApplyRememberedDisplayConfig();
      return Complain(console, kExitNotApplied,
                      "the saved layout " + path + " cannot be read back (" + problem + "); it is kept, and " +
                          (remembered.status == DisplayCallStatus::kDone
                               ? "the layout Windows remembers for the monitors now connected was applied instead"
                               : "applying the layout Windows remembers failed too, " + CallProblem(remembered)));
    }
    case DeskRead::kRead:
      break;
  }
  std::vector<std::string> gone;
  problem = PutBack(saved, now, &gone);
  if (!problem.empty()) {
    return Complain(console, kExitNotApplied,
                    "Windows did not put the saved layout back (" + problem + "); it stays saved in " + path);
  }
  ForgetSavedDesk();
  *said = "the saved layout is back";
  for (size_t i = 0; i < gone.size(); ++i) *said += (i == 0 ? " without " : ", ") + gone[i];
  if (!gone.empty()) *said += " (no longer connected)";
  return kExitSuccess;
}

int Restore(const Console& console) {
  DisplayConfig now{};
  const int failed = Read(console, &now, "restore", "nothing changed");
  if (failed >= 0) return failed;
  std::string said;
  const int status = RestoreSavedDesk(console, now, &said);
  if (status == kExitSuccess) std::fprintf(console.out, "%s\n", said.c_str());
  return status;
}

int Detach(const Console& console, const DisplayCommand& command) {
  const int refused = RefuseWithoutDisplays(console, command, "detach");
  if (refused >= 0) return refused;
  if (!HasDisplayConfig()) return PrintHostReport(RemoveForHost(), kProgram, console);
  DisplayConfig now{};
  const int failed = Read(console, &now, "detach", "nothing removed");
  if (failed >= 0) return failed;
  const int32_t ours = CountOurs(ListDisplays(now));
  std::string said;
  const int layout_status = RestoreSavedDesk(console, now, &said);
  const HostReport report = RemoveForHost();
  if (report.status != kExitSuccess) return PrintHostReport(report, kProgram, console);
  // Windows never showed one of ours: there is nothing to see go.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(command.wait_seconds);
  for (int32_t left = ours; ours > 0 && left >= ours;) {
    const int again = Read(console, &now, "detach", "the remove request was sent");
    if (again >= 0) return again;
    left = CountOurs(ListDisplays(now));
    if (left < ours) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      return Complain(console, kExitNotApplied,
                      "the driver removed a display, but Windows still lists " + std::to_string(left) +
                          " of ours after " + Seconds(command.wait_seconds));
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  if (layout_status != kExitSuccess) return layout_status;
  std::fprintf(console.out, "removed a display of ours; %s\n", said.c_str());
  return kExitSuccess;
}

}  // namespace

int RunDisplay(int argc, char** argv, const Console& console) {
  DisplayCommand command{};
  const std::string usage_problem = ParseDisplayCommandLine(argc, argv, command);
  if (!usage_problem.empty()) return Complain(console, kExitUsage, usage_problem);
  if (command.help) {
    std::fputs(kUsage, console.out);
    return kExitSuccess;
  }
  if (command.version) {
    std::fprintf(console.out, "%s %s\n", kProgram, VELMORIN_VERSION);
    return kExitSuccess;
  }
  switch (command.verb) {
    case DisplayVerb::kList:
      return List(console, command);
    case DisplayVerb::kAttach:
      return Attach(console, command);
    case DisplayVerb::kUse:
      return Use(console, command);
    case DisplayVerb::kDetach:
      return Detach(console, command);
    case DisplayVerb::kRestore:
      return Restore(console);
    case DisplayVerb::kNone:
      break;
  }
  return kExitUsage;
}
