// The command line of velmorin-edid: modes, output, options.
#pragma once

#include <cstdint>
#include <string>

#include "edid/edid_image.h"
#include "edid/make_edid.h"

// More than ever fit in 256 bytes; beyond it the arguments are refused early.
inline constexpr int32_t kMaxMakerModes = 16;

struct MakerCommand {
  bool help;
  bool version;
  bool text;
  bool force;
  bool hdr;
  bool audio;
  bool attach;      // send to the driver instead of (or after) writing
  bool name_given;  // --name, which --attach refuses
  DisplayMode modes[kMaxMakerModes];
  int32_t mode_count;
  const char* mode_texts[kMaxMakerModes];  // as written: the default file name
  const char* output;                      // -o PATH, or null
  char name[kMaxMonitorNameLength + 1];
  double diagonal_inches;  // --size, 0 when not given
  int32_t width_mm;        // --mm, 0 when not given
  int32_t height_mm;
};

// Fills `command` from the arguments after the program name. Returns an
// empty string, or a one-line description of the usage error.
std::string ParseMakerCommandLine(int argc, char** argv, MakerCommand& command);
