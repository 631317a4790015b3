// The commands that change the desk, shared by velmorin-display and the
// control window: attach a display of ours and make it the stream's display,
// use one that is there, detach it, put the saved desk back. Each is done
// whole or rolled back, holds the per-user lock from start to end, and ends
// with a status a script can act on and one line that says what happened,
// in the same words wherever it is shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edid/edid_image.h"
#include "host_attach/host_attach.h"
#include "layout/display_list.h"

// Not done, and everything is as it was before the command (rolled back).
inline constexpr int kExitRolledBack = 6;
// This system has no Windows display configuration.
inline constexpr int kExitNoDisplayConfig = 7;
// Done only in part, or a roll-back failed: the line says what is left and
// which command finishes the job; a saved desk is kept.
inline constexpr int kExitPartly = 8;

// What --primary and --only ask of the layout.
enum class LayoutWish { kKeep, kPrimary, kOnly };

inline constexpr int32_t kDefaultWaitSeconds = 10;

// What a command asks for.
struct DeskOrder {
  const char* mode_text;  // attach MODE, use DISPLAY [MODE]; null when not given
  DisplayMode mode;
  const char* display;  // use DISPLAY
  bool hdr_given;       // --hdr or --hdr=VALUE
  bool hdr;
  bool audio;
  LayoutWish layout;
  bool wait_given;
  int32_t wait_seconds;  // for the lock, for access, for the display to come or go
  bool keep;             // attach --keep: a failure leaves the monitor and the saved desk
  bool all;              // detach --all: every display of ours
};

// How a command ended.
struct DeskOutcome {
  int status;
  std::vector<std::string> warnings;  // lines for the error stream, said before the result
  std::string line;                   // the result
  bool line_is_error;                 // the error stream's, not the output's
};

// Told what a command waits for and the whole seconds left, each time that
// changes; `context` is the caller's. A null watcher hears nothing.
struct DeskWatcher {
  void (*waiting)(void* context, const std::string& what, int32_t seconds_left);
  void* context;
};

DeskOutcome AttachDisplay(const DeskOrder& order, const DeskWatcher* watcher);
// Why attach would refuse the order's mode before sending anything, as
// velmorin-edid refuses it (a usage error); empty when it would not.
std::string AttachModeProblem(const DeskOrder& order);
DeskOutcome UseDisplay(const DeskOrder& order, const DeskWatcher* watcher);
DeskOutcome DetachDisplay(const DeskOrder& order, const DeskWatcher* watcher);
DeskOutcome RestoreDesk(const DeskOrder& order, const DeskWatcher* watcher);

// The displays Windows lists now, with no lock taken. A status other than 0
// comes with its line in `outcome`.
DeskOutcome ListDesk(std::vector<DisplayRecord>* records);

// True where this system has Windows' display configuration.
bool HasDisplayConfig();
