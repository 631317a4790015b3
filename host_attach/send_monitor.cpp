#include <cstdio>
#include <cstring>

#include "driver_link/client.h"
#include "edid/base_block.h"
#include "host_attach/host_attach.h"

namespace {

std::string Seconds(int32_t milliseconds) { return std::to_string(milliseconds / 1000) + " s"; }

// What the driver was told, sent or not, for an exchange that failed.
std::string WhatFailed(HostExchangeStop stop, int32_t error_code, int32_t count, const std::string& endpoint) {
  switch (stop) {
    case HostExchangeStop::kNoDriver:
      return "no driver answers at " + endpoint;
    case HostExchangeStop::kConnectFailed:
      return "connecting to the driver at " + endpoint + " failed, error " + std::to_string(error_code);
    case HostExchangeStop::kBusy:
      return "the driver's pipe at " + endpoint + " stayed busy for " + Seconds(kBusyPipeWaitMs);
    case HostExchangeStop::kNotTaken:
      return "the driver at " + endpoint + " closed the connection before taking the request";
    case HostExchangeStop::kNotTakenInTime:
      return "the driver at " + endpoint + " took none of the request within " + Seconds(kReplyWaitMs);
    case HostExchangeStop::kPartlyTaken:
      return "the driver took only " + std::to_string(count) + " of the request's " +
             std::to_string(kDriverRequestSize) + " bytes";
    case HostExchangeStop::kShortReply:
      return "the reply was short (" + std::to_string(count) + " of " + std::to_string(kDriverReplySize) + " bytes)";
    case HostExchangeStop::kMalformedReply:
      return "the reply had the wrong magic or markers";
    case HostExchangeStop::kClosed:
      return "the driver closed the connection without replying";
    case HostExchangeStop::kNoReply:
    case HostExchangeStop::kAccepted:
      break;
  }
  return "no reply came within " + Seconds(kReplyWaitMs);
}

bool NothingSent(HostExchangeStop stop) {
  return stop == HostExchangeStop::kNoDriver || stop == HostExchangeStop::kConnectFailed ||
         stop == HostExchangeStop::kBusy || stop == HostExchangeStop::kNotTaken ||
         stop == HostExchangeStop::kNotTakenInTime;
}

}  // namespace

HostReport DescribeHostExchange(const HostExchangeOutcome& outcome, const char* mode_text,
                                const std::string& endpoint) {
  const std::string subject = mode_text != nullptr ? mode_text : "remove request";
  if (outcome.stop == HostExchangeStop::kAccepted) {
    const std::string sent = mode_text != nullptr ? subject : "the remove request";
    return {outcome.status == 0 ? kExitSuccess : kExitDriverStatus, false,
            "sent " + sent + " to the driver: status " + std::to_string(outcome.status), true, outcome.status};
  }
  const std::string what = WhatFailed(outcome.stop, outcome.error_code, outcome.count, endpoint);
  if (NothingSent(outcome.stop)) return {kExitNotSent, true, subject + " not sent: " + what, false, 0};
  const char* left = mode_text != nullptr ? "the monitor may be attached" : "a display may still be attached";
  return {kExitNoReply, true, subject + " sent, but " + what + "; " + left, false, 0};
}

HostReport AttachForHost(const uint8_t (&edid)[kMadeEdidSize], const DisplayMode& mode, const char* mode_text) {
  uint8_t sent[kMadeEdidSize];
  std::memcpy(sent, edid, sizeof sent);
  ApplyIdentityPatch(sent);
  const DriverRequest request = MakeAttachRequest(sent, kMadeEdidSize, mode.width, mode.height, mode.refresh);
  return DescribeHostExchange(ExchangeForHost(request), mode_text, DriverEndpoint());
}

HostReport RemoveForHost() {
  return DescribeHostExchange(ExchangeForHost(MakeRemoveRequest()), nullptr, DriverEndpoint());
}

int PrintHostReport(const HostReport& report, const char* program, const Console& console) {
  if (report.is_error) {
    std::fprintf(console.err, "%s: %s\n", program, report.line.c_str());
  } else {
    std::fprintf(console.out, "%s\n", report.line.c_str());
  }
  return report.status;
}

int SendMonitorEdid(const uint8_t (&edid)[kMadeEdidSize], const DisplayMode& mode, const char* mode_text,
                    const char* program, const Console& console) {
  return PrintHostReport(AttachForHost(edid, mode, mode_text), program, console);
}
