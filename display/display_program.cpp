#include "display/display_program.h"

#include <cstdio>
#include <string>
#include <vector>

#include "desk/desk.h"
#include "display/command_line.h"
#include "display/display_text.h"

#ifndef VELMORIN_VERSION
#define VELMORIN_VERSION "0.0.0"
#endif

namespace {

constexpr const char* kProgram = "velmorin-display";

constexpr const char* kUsage =
    "Usage: velmorin-display list [--all] [--json]\n"
    "       velmorin-display attach MODE [--hdr[=VALUE]] [--audio] [--primary | --only] [--keep] [--wait SECONDS]\n"
    "       velmorin-display use DISPLAY [MODE] [--hdr[=VALUE]] [--primary | --only] [--wait SECONDS]\n"
    "       velmorin-display detach [--all] [--wait SECONDS]\n"
    "       velmorin-display restore [--wait SECONDS]\n"
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
    "                 Any failure after the driver took it removes it again and puts\n"
    "                 the desk back, unless --keep. HDR is a wish: without it, SDR.\n"
    "  use DISPLAY    the same steps for a display that is there: \\\\.\\DISPLAY7, 7, or a\n"
    "                 monitor's device path; its mode set to MODE when given\n"
    "  detach         puts the saved desk back, asks the driver to remove a display,\n"
    "                 and waits until Windows lists one display of ours fewer;\n"
    "                 --all: every display of ours\n"
    "  restore        puts the saved desk back, and removes nothing\n"
    "\n"
    "MODE is WIDTHxHEIGHTxREFRESH, as in 2560x1440x120. --hdr=VALUE takes true, 1, yes,\n"
    "on or false, 0, no, off (any case). One command at a time changes the displays:\n"
    "another waits up to its --wait.\n"
    "\n"
    "Exit status: 0 done; 1 any other failure; 2 usage error; 3 the driver answered\n"
    "another status; 4 nothing was sent and nothing changed (no driver, the connect\n"
    "failed, Windows refused access, the desk could not be saved, another command is\n"
    "running); 5 sent, but no acceptable reply (the monitor may be attached); 6 not\n"
    "done, and everything is as it was (rolled back); 7 this system has no Windows\n"
    "display configuration; 8 done only in part, or a roll-back failed: the message\n"
    "says what is left and which command finishes the job.\n";

int Complain(const Console& console, int status, const std::string& message) {
  std::fprintf(console.err, "%s: %s\n", kProgram, message.c_str());
  return status;
}

int Print(const Console& console, const DeskOutcome& outcome) {
  for (const std::string& warning : outcome.warnings) std::fprintf(console.err, "%s: %s\n", kProgram, warning.c_str());
  if (outcome.line_is_error) return Complain(console, outcome.status, outcome.line);
  std::fprintf(console.out, "%s\n", outcome.line.c_str());
  return outcome.status;
}

int List(const Console& console, const DisplayCommand& command) {
  std::vector<DisplayRecord> all;
  const DeskOutcome outcome = ListDesk(&all);
  if (outcome.status != kExitSuccess) return Print(console, outcome);
  std::vector<DisplayRecord> records;
  for (const DisplayRecord& r : all) {
    if (command.all || IsOurs(r)) records.push_back(r);
  }
  if (command.json) {
    std::fputs(FormatDisplayJson(records).c_str(), console.out);
  } else {
    for (const DisplayRecord& r : records) std::fprintf(console.out, "%s\n", FormatDisplayLine(r).c_str());
  }
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
      return Print(console, AttachDisplay(command.order, nullptr));
    case DisplayVerb::kUse:
      return Print(console, UseDisplay(command.order, nullptr));
    case DisplayVerb::kDetach:
      return Print(console, DetachDisplay(command.order, nullptr));
    case DisplayVerb::kRestore:
      return Print(console, RestoreDesk(command.order, nullptr));
    case DisplayVerb::kNone:
      break;
  }
  return kExitUsage;
}
