// A host's attach: the EDID made for the modes a host asks for, sent to the
// driver exactly as "velmorin /d" sends a file named by the first mode, and
// an exit status a script can act on. Shared by every program that attaches
// a monitor for a host; neither program reaches into the other.
#pragma once

#include <cstdint>
#include <string>

#include "driver_link/client.h"
#include "edid/edid_image.h"
#include "edid/make_edid.h"
#include "platform/console.h"

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// The driver answered with a status other than 0.
inline constexpr int kExitDriverStatus = 3;
// Nothing was sent: no driver answers, the connect failed, the pipe stayed
// busy, the driver took no byte of the request.
inline constexpr int kExitNotSent = 4;
// The request was sent but no acceptable reply came (short, malformed, closed,
// none in time): the monitor may be attached, so a host runs its undo step.
inline constexpr int kExitNoReply = 5;

inline constexpr double kDefaultDiagonalInches = 27.0;

// The monitor a host asks for.
struct MonitorOrder {
  const DisplayMode* modes;  // the first is preferred
  const char* const* mode_texts;  // as written, for messages
  int32_t mode_count;
  bool hdr;
  bool audio;
  const char* name;        // the monitor name
  double diagonal_inches;  // 0: the default size
  int32_t width_mm;        // 0: from the diagonal
  int32_t height_mm;
};

// Makes the 256 bytes for `order`; `made` says how each mode is carried.
// Returns an empty string, or the one-line reason the modes or the size
// cannot be made (a usage error).
std::string MakeMonitorEdid(const MonitorOrder& order, uint8_t (&edid)[kMadeEdidSize], MakeEdidResult& made);

// Where each mode went, for the line after a write: "2560x1600 at 165 Hz as
// a DisplayID timing (readers of the base block see 2560x1600 at 60 Hz)",
// one such part a mode, joined by "; ".
std::string DescribePlacement(const MonitorOrder& order, const MakeEdidResult& made);

// How a host's exchange went: the exit status and its one line, an error
// (for the error stream) unless the driver accepted the request.
struct HostReport {
  int status;
  bool is_error;
  std::string line;
  bool answered;          // the driver replied acceptably
  int32_t driver_status;  // and with this status (-1: it had nothing to do)
};

// The report of `outcome`, for the attach of `mode_text` or, when that is
// null, for the remove request; `endpoint` is where the driver was looked for.
HostReport DescribeHostExchange(const HostExchangeOutcome& outcome, const char* mode_text,
                                const std::string& endpoint);

// Sends `edid` as "velmorin /d" sends a file named by `mode` (the identity
// patch applied to a copy), with a host's patience. Prints nothing.
HostReport AttachForHost(const uint8_t (&edid)[kMadeEdidSize], const DisplayMode& mode, const char* mode_text);

// Asks the driver to remove a display, with the same patience. Prints nothing.
HostReport RemoveForHost();

// Prints `report`'s line on `console`'s output when the driver accepted the
// request, else on its error stream after "`program`: ". Returns the status.
int PrintHostReport(const HostReport& report, const char* program, const Console& console);

// AttachForHost, printed.
int SendMonitorEdid(const uint8_t (&edid)[kMadeEdidSize], const DisplayMode& mode, const char* mode_text,
                    const char* program, const Console& console);
