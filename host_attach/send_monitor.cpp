#include <cstdio>

#include "driver_link/client.h"
#include "edid/base_block.h"
#include "host_attach/host_attach.h"

namespace {

int Complain(const Console& console, const char* program, int status, const std::string& message) {
  std::fprintf(console.err, "%s: %s\n", program, message.c_str());
  return status;
}

}  // namespace

int SendMonitorEdid(uint8_t (&edid)[kMadeEdidSize], const DisplayMode& mode, const char* mode_text,
                    const char* program, const Console& console) {
  ApplyIdentityPatch(edid);
  const ExchangeOutcome outcome =
      SendAttachRequest(edid, kMadeEdidSize, mode.width, mode.height, mode.refresh, nullptr);
  const std::string not_sent = std::string(mode_text) + " not sent: ";
  switch (outcome.result) {
    case ExchangeResult::kNoDriver:
      return Complain(console, program, kExitNotSent, not_sent + "no driver answers at " + DriverEndpoint());
    case ExchangeResult::kConnectFailed:
      return Complain(console, program, kExitNotSent,
                      not_sent + "connecting to the driver at " + DriverEndpoint() + " failed, error " +
                          std::to_string(outcome.error_code));
    case ExchangeResult::kNotAccepted:
      return Complain(console, program, kExitNotSent,
                      std::string(mode_text) +
                          " sent, but the driver's reply was not accepted (short, or wrong magic or markers)");
    case ExchangeResult::kAccepted:
      break;
  }
  std::fprintf(console.out, "sent %s to the driver: status %d\n", mode_text, outcome.status);
  return outcome.status == 0 ? kExitSuccess : kExitDriverStatus;
}
