// The command line of velmorin-display.
#pragma once

#include <cstdint>
#include <string>

#include "edid/edid_image.h"

enum class DisplayVerb { kNone, kList, kAttach, kUse, kDetach, kRestore };

// What --primary and --only ask of the layout.
enum class LayoutWish { kKeep, kPrimary, kOnly };

inline constexpr int32_t kDefaultWaitSeconds = 10;

struct DisplayCommand {
  DisplayVerb verb;
  bool help;
  bool version;
  bool all;   // list --all
  bool json;  // list --json
  const char* mode_text;  // attach MODE, use DISPLAY [MODE]; null when not given
  DisplayMode mode;
  const char* display;  // use DISPLAY
  bool hdr_given;       // --hdr or --hdr=VALUE
  bool hdr;
  bool audio;
  LayoutWish layout;
  bool wait_given;
  int32_t wait_seconds;
};

// Fills `command` from the arguments after the program name. Returns an
// empty string, or a one-line description of the usage error.
std::string ParseDisplayCommandLine(int argc, char** argv, DisplayCommand& command);
