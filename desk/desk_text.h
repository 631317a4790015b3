// The words the desk commands use, wherever their lines are shown.
#pragma once

#include <cstdint>
#include <string>

#include "edid/edid_image.h"
#include "layout/display_list.h"
#include "platform/display_config.h"

// "\\.\DISPLAY7: 2560x1440 at 119.998 Hz, HDR off"; `hdr` replaces the HDR
// words when given ("HDR off (it cannot do HDR here)").
std::string DescribeDisplay(const DisplayRecord& record, const std::string& hdr = std::string());

// "2560x1440 at 120 Hz"
std::string AskedMode(const DisplayMode& mode);

// "10 s"
std::string Seconds(int32_t seconds);

// A display call that failed, as the end of a message: "error 87", "Windows refused access".
std::string CallProblem(const DisplayCallResult& result);

// Why a command could not read Windows' display configuration, without the
// ending that says what stays as it was.
std::string ReadProblem(const DisplayCallResult& result);

// Where the saved layout waits and how to finish the job: "the saved
// layout stays in <path> (velmorin-display restore puts it back)".
std::string StaysSaved();

// "another velmorin-display is changing the displays"
extern const char* const kAnotherCommand;
