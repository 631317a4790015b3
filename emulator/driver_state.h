// A stand-in for the indirect display driver: the displays it has attached and
// the reply it gives to each request. Test equipment, not part of the tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver_link/messages.h"

// How a connection is answered. Everything but kNormal breaks the protocol on
// purpose so the client's failure paths can be exercised.
enum class ReplyStyle {
  kNormal,
  kShort,
  kBadMagic,
  kBadMarker,
  kClose,
  kCloseEarly,
  kLong,
  kSplit,
  kGarbage,
  kSilent,  // takes the request, never replies, holds the connection until the client goes
};

struct EmulatorOptions {
  int requests = -1;         // connections to serve; -1 serves until killed
  int timeout_seconds = 0;   // 0 serves until stopped
  std::string ready_file;
  std::string log_file;
  std::string save_dir;
  std::string desk_file;  // the display model to show attached displays in
  bool fixed_status = false;
  int32_t status = 0;
  ReplyStyle style = ReplyStyle::kNormal;
  int short_bytes = 0;
  bool busy = false;
  int busy_for_ms = 0;  // above 0: busy that long once ready, then served
  bool inbound_only = false;
  bool stale = false;
};

struct AttachedDisplay {
  int32_t width;
  int32_t height;
  int32_t refresh;
};

struct DriverState {
  std::vector<AttachedDisplay> displays;
};

// Acts on one whole request and returns the status to answer. `log_line` gets
// the request's one-line account, without a line end.
int32_t ApplyRequest(DriverState* state, const DriverRequest& request,
                     const EmulatorOptions& options, std::string* log_line);

// The reply bytes, cut into the separate writes to make: one write, except
// for kSplit (two) and the styles that send nothing (none).
std::vector<std::vector<uint8_t>> BuildReplyWrites(const EmulatorOptions& options, int32_t status);

// Short name of a reply style for the log; empty for kNormal.
std::string DescribeReplyStyle(const EmulatorOptions& options);

// Appends `line` and a line end to `log`, flushed at once so a killed
// emulator still leaves a complete log.
void LogLine(FILE* log, const std::string& line);

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);
