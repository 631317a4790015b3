// kovra-driver-emulator: serves the driver pipe the way the indirect display
// driver does, or breaks the protocol on request, for tests and demos.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "emulator/desk_link.h"
#include "emulator/driver_state.h"
#include "emulator/server.h"
#include "platform/console.h"
#include "platform/pipe.h"

namespace {

constexpr char kUsage[] =
    "usage: kovra-driver-emulator [--requests N] [--timeout S] [--ready FILE] [--log FILE]\n"
    "  [--save DIR] [--status N] [--short N | --bad-magic | --bad-marker | --close | --close-early "
    "|\n"
    "   --long | --split | --garbage | --silent] [--busy | --busy-for MS] [--inbound-only] [--stale]\n"
    "  [--desk FILE]\n"
    "Serves until stopped (Ctrl+C) unless --requests or --timeout (seconds) say otherwise.\n"
    "--busy keeps the endpoint taken; --busy-for keeps it taken for MS milliseconds, then serves.\n"
    "On POSIX systems it serves the socket named by VELMORIN_DRIVER_SOCKET, else /tmp/kovra_idd_pipe.\n"
    "It ends with status 1 when a driver already answers there.\n"
    "--desk FILE: each accepted attach connects a display of ours in the display model FILE\n"
    "(as velmorin-display-model reads it), each accepted remove disconnects the newest.\n";

FILE* log_file = stderr;

bool ParseNumber(const char* text, long low, long high, long* value) {
  char* end = nullptr;
  *value = std::strtol(text, &end, 10);
  return *text != '\0' && *end == '\0' && *value >= low && *value <= high;
}

// Returns an empty string on success, else the complaint.
std::string ParseOptions(int argc, char** argv, EmulatorOptions* options) {
  const struct {
    const char* name;
    ReplyStyle style;
  } styles[] = {{"--bad-magic", ReplyStyle::kBadMagic}, {"--bad-marker", ReplyStyle::kBadMarker},
                {"--close", ReplyStyle::kClose},        {"--close-early", ReplyStyle::kCloseEarly},
                {"--long", ReplyStyle::kLong},          {"--split", ReplyStyle::kSplit},
                {"--garbage", ReplyStyle::kGarbage},    {"--silent", ReplyStyle::kSilent}};
  const struct {
    const char* name;
    bool* flag;
  } flags[] = {{"--busy", &options->busy},
               {"--inbound-only", &options->inbound_only},
               {"--stale", &options->stale}};
  int style_count = 0;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (!ServerSupportsOption(option) || (option == "--desk" && !DeskLinkSupported())) {
      return option + " is not supported on this platform";
    }
    bool matched = option == "--help";
    for (const auto& style : styles) {
      if (option == style.name) options->style = style.style, ++style_count, matched = true;
    }
    for (const auto& flag : flags) {
      if (option == flag.name) *flag.flag = true, matched = true;
    }
    if (matched) continue;
    if (i + 1 >= argc) return "unknown option or missing value: " + option;
    const char* value = argv[++i];
    long number = 0;
    if (option == "--ready") {
      options->ready_file = value;
    } else if (option == "--log") {
      options->log_file = value;
    } else if (option == "--save") {
      options->save_dir = value;
    } else if (option == "--desk") {
      options->desk_file = value;
    } else if (option == "--requests" && ParseNumber(value, 0, 1000000, &number)) {
      options->requests = static_cast<int>(number);
    } else if (option == "--timeout" && ParseNumber(value, 0, 86400, &number)) {
      options->timeout_seconds = static_cast<int>(number);
    } else if (option == "--status" && ParseNumber(value, INT32_MIN, INT32_MAX, &number)) {
      options->fixed_status = true;
      options->status = static_cast<int32_t>(number);
    } else if (option == "--busy-for" && ParseNumber(value, 1, 86400000, &number)) {
      options->busy_for_ms = static_cast<int>(number);
    } else if (option == "--short" && ParseNumber(value, 0, 15, &number)) {
      options->style = ReplyStyle::kShort;
      options->short_bytes = static_cast<int>(number);
      ++style_count;
    } else {
      return "unknown option or bad value: " + option + " " + value;
    }
  }
  if (style_count > 1) return "give at most one of the reply options";
  if (options->busy && options->busy_for_ms > 0) return "give at most one of --busy and --busy-for";
  return "";
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

void WriteReadyFile(const EmulatorOptions& options) {
  if (!options.ready_file.empty())
    WriteWholeFile(options.ready_file, reinterpret_cast<const uint8_t*>("ready\n"), 6);
}

// Says where it serves, once clients can connect.
void AnnounceEndpoint() {
  std::printf("kovra-driver-emulator: serving %s; Ctrl+C stops it\n", PipeEndpoint(kDriverPipeName).c_str());
  std::fflush(stdout);
}

// Safety net: whatever happens, the emulator goes away after the time-out.
// Ends with 3 when a requested number of connections never arrived.
void StartWatchdog(const EmulatorOptions& options, const std::atomic<int>* served) {
  if (options.timeout_seconds == 0) return;
  std::thread([options, served] {
    std::this_thread::sleep_for(std::chrono::seconds(options.timeout_seconds));
    LogLine(log_file, "timeout after " + std::to_string(options.timeout_seconds) + " s, " +
                          std::to_string(served->load()) + " connections served");
    AbandonServer();
    // As a console event ends it: the console's code page given back, and no
    // exit-time work that could wait for a lock the main thread holds.
    EndProcessNow(options.requests >= 0 && !options.busy ? 3 : 0);
  }).detach();
}

// What Windows would come to list after a request the driver accepted.
void ShowInDesk(const std::string& desk_file, const DriverRequest& request, int32_t status) {
  if (status != 0) return;
  std::string problem;
  if (request.command == kAttachCommand) problem = ConnectOurDisplay(desk_file, request);
  if (request.command == kRemoveCommand) problem = DisconnectOurDisplay(desk_file);
  if (!problem.empty()) LogLine(log_file, "display model: " + problem);
}

// Returns false for a connection that sent nothing at all: somebody checking
// whether a driver answers (another emulator, or a tool that did not trust
// us), not a client. Such connections are not counted.
bool ServeConnection(const EmulatorOptions& options, DriverState* state, int* received) {
  if (options.style == ReplyStyle::kCloseEarly) {
    LogLine(log_file, "connection closed before reading");
    EndClient();
    return true;
  }
  uint8_t bytes[kDriverRequestSize] = {};
  size_t count = ReadFromClient(bytes, sizeof bytes);
  if (count == 0) {
    LogLine(log_file, "a connection ended without sending anything; not counted");
    EndClient();
    return false;
  }
  ++*received;
  if (!options.save_dir.empty()) {
    std::string path = options.save_dir + "/request-" + std::to_string(*received) + ".bin";
    if (!WriteWholeFile(path, bytes, count)) LogLine(log_file, "cannot save " + path);
  }
  if (count < kDriverRequestSize) {
    LogLine(log_file, "incomplete request of " + std::to_string(count) + " bytes -> no reply");
    EndClient();
    return true;
  }
  std::string line;
  int32_t status = ApplyRequest(state, DecodeDriverRequest(bytes), options, &line);
  std::string style = DescribeReplyStyle(options);
  LogLine(log_file, style.empty() ? line : line + ", reply " + style);
  if (!options.desk_file.empty()) ShowInDesk(options.desk_file, DecodeDriverRequest(bytes), status);
  auto writes = BuildReplyWrites(options, status);
  for (size_t i = 0; i < writes.size(); ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    WriteToClient(writes[i].data(), writes[i].size());
  }
  if (options.style == ReplyStyle::kSilent) {
    // Whatever the client sends meanwhile is dropped; the watchdog bounds the wait.
    uint8_t ignored[64];
    while (ReadFromClient(ignored, sizeof ignored) == sizeof ignored) {
    }
  }
  EndClient();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // As the tool does: a Ctrl+C or a closed window on Windows ends it at once,
  // never stuck in exit-time work behind a thread it interrupted.
  PrepareProcess();
  EmulatorOptions options;
  std::string complaint = ParseOptions(argc, argv, &options);
  if (!complaint.empty() || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
    std::fprintf(stderr, "%s%s%s", complaint.c_str(), complaint.empty() ? "" : "\n", kUsage);
    return complaint.empty() ? 0 : 2;
  }
  if (!options.log_file.empty()) {
    log_file = std::fopen(options.log_file.c_str(), "ab");  // binary: "\n" on every platform
    if (log_file == nullptr) {
      std::fprintf(stderr, "cannot open log file %s\n", options.log_file.c_str());
      return 2;
    }
  }
  std::string error;
  if (options.stale) {
    if (!LeaveStaleServer(&error)) return Fail(error);
    WriteReadyFile(options);
    return 0;
  }
  std::atomic<int> served = 0;
  StartWatchdog(options, &served);
  if (!OpenServer(options.inbound_only, &error)) return Fail(error);
  if ((options.busy || options.busy_for_ms > 0) && !OccupyServer(&error)) return Fail(error);
  AnnounceEndpoint();
  WriteReadyFile(options);
  if (options.busy) {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));  // until the watchdog or a kill
  }
  if (options.busy_for_ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(options.busy_for_ms));
    FreeServer();
    LogLine(log_file, "free after " + std::to_string(options.busy_for_ms) + " ms busy");
  }
  DriverState state;
  int received = 0;
  while (options.requests < 0 || served < options.requests) {
    if (!AcceptClient(&error)) {
      LogLine(log_file, error);
      CloseServer();
      return 1;
    }
    if (ServeConnection(options, &state, &received)) ++served;
  }
  CloseServer();
  return 0;
}
