#include "emulator/driver_state.h"

#include <algorithm>
#include <cstring>

namespace {

std::string DescribeRequest(const DriverRequest& request) {
  char text[160];
  if (request.magic != kDriverMagic || request.marker1 != kDriverMarker ||
      request.marker2 != kDriverMarker) {
    std::snprintf(text, sizeof text, "bad request magic=%x marker1=%u marker2=%u command=%u",
                  static_cast<unsigned>(request.magic), static_cast<unsigned>(request.marker1),
                  static_cast<unsigned>(request.marker2), static_cast<unsigned>(request.command));
  } else if (request.command == kAttachCommand) {
    std::snprintf(text, sizeof text, "attach payload_size=%d width=%d height=%d refresh=%d",
                  static_cast<int>(request.payload_size), static_cast<int>(request.width),
                  static_cast<int>(request.height), static_cast<int>(request.refresh));
  } else if (request.command == kRemoveCommand) {
    std::snprintf(text, sizeof text, "remove");
  } else {
    std::snprintf(text, sizeof text, "unknown command=%u", static_cast<unsigned>(request.command));
  }
  return text;
}

// The list logic: attach adds a display, remove drops the latest one.
int32_t ChangeDisplays(DriverState* state, const DriverRequest& request) {
  if (request.magic != kDriverMagic || request.marker1 != kDriverMarker ||
      request.marker2 != kDriverMarker) {
    return -1;
  }
  if (request.command == kAttachCommand) {
    state->displays.push_back({request.width, request.height, request.refresh});
    return 0;
  }
  if (request.command == kRemoveCommand && !state->displays.empty()) {
    state->displays.pop_back();
    return 0;
  }
  return -1;
}

}  // namespace

int32_t ApplyRequest(DriverState* state, const DriverRequest& request,
                     const EmulatorOptions& options, std::string* log_line) {
  int32_t status = options.fixed_status ? options.status : ChangeDisplays(state, request);
  *log_line = DescribeRequest(request) + " -> status " + std::to_string(status) + ", " +
              std::to_string(state->displays.size()) + " attached";
  return status;
}

std::vector<std::vector<uint8_t>> BuildReplyWrites(const EmulatorOptions& options, int32_t status) {
  DriverReply reply = MakeReply(status);
  if (options.style == ReplyStyle::kBadMagic)
    reply = DriverReply{0xDEADBEEF, kDriverMarker, kDriverMarker, 0};
  if (options.style == ReplyStyle::kBadMarker)
    reply = DriverReply{kDriverMagic, kDriverMarker, 0, 0};
  std::vector<uint8_t> bytes(kDriverReplySize);
  EncodeDriverReply(reply, bytes.data());
  switch (options.style) {
    case ReplyStyle::kClose:
    case ReplyStyle::kCloseEarly:
    case ReplyStyle::kSilent:
      return {};
    case ReplyStyle::kShort:
      bytes.resize(static_cast<size_t>(std::clamp(options.short_bytes, 0, 15)));
      break;
    case ReplyStyle::kLong:
      bytes.insert(bytes.end(), bytes.begin(), bytes.end());
      break;
    case ReplyStyle::kSplit:
      return {std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              std::vector<uint8_t>(bytes.begin() + 8, bytes.end())};
    case ReplyStyle::kGarbage:
      std::fill(bytes.begin(), bytes.end(), 0xA5);
      break;
    default:
      break;
  }
  return {bytes};
}

std::string DescribeReplyStyle(const EmulatorOptions& options) {
  switch (options.style) {
    case ReplyStyle::kShort:
      return "short " + std::to_string(options.short_bytes);
    case ReplyStyle::kBadMagic:
      return "bad magic";
    case ReplyStyle::kBadMarker:
      return "bad marker";
    case ReplyStyle::kClose:
      return "closed without reply";
    case ReplyStyle::kCloseEarly:
      return "closed before reading";
    case ReplyStyle::kLong:
      return "long";
    case ReplyStyle::kSplit:
      return "split";
    case ReplyStyle::kGarbage:
      return "garbage";
    case ReplyStyle::kSilent:
      return "none, held until the client goes";
    default:
      return "";
  }
}

void LogLine(FILE* log, const std::string& line) {
  std::fprintf(log, "%s\n", line.c_str());
  std::fflush(log);
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}
