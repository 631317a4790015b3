#include "control/control_words.h"


std::vector<std::string> CommonModes() {
  return {"1280x720x60",   "1920x1080x60",  "1920x1080x120", "1920x1080x144", "1920x1080x240",
          "2560x1440x60",  "2560x1440x120", "2560x1440x144", "2560x1440x165", "2560x1440x240",
          "3440x1440x100", "3840x2160x60",  "3840x2160x120", "3840x2160x144"};
}

std::string DriverWords(bool present, const std::string& endpoint) {
  if (present) return "The driver's pipe " + endpoint + " is there.";
  return "No driver: " + endpoint +
         " does not exist, so Attach and Remove are off. Install the indirect display driver, or start "
         "kovra-driver-emulator to try.";
}

std::string WaitingWords(const std::string& what, int32_t seconds_left) {
  return "Waiting for " + what + ": " + std::to_string(seconds_left) + " s left";
}

std::string OutcomeWords(const DeskOutcome& outcome) {
  std::string words;
  for (const std::string& warning : outcome.warnings) words += warning + "\n";
  return words + outcome.line;
}

std::string ModeTextOf(const DisplayRecord& r) {
  const uint32_t hz = r.refresh.denominator == 0 ? 0 : (r.refresh.numerator + r.refresh.denominator / 2) / r.refresh.denominator;
  return std::to_string(r.width) + "x" + std::to_string(r.height) + "x" + std::to_string(hz);
}

std::vector<std::string> RowWords(const DisplayRecord& r) {
  const std::string name = r.gdi_name.empty() ? "-" : r.gdi_name;
  const std::string monitor = r.monitor_name.empty() ? "-" : r.monitor_name;
  const std::string refresh = FormatRefresh(r.refresh);
  const std::string mode = !r.active ? "inactive"
                                     : std::to_string(r.width) + "x" + std::to_string(r.height) +
                                           (refresh == "unspecified" ? "" : " at " + refresh + " Hz");
  const std::string position = r.active ? std::to_string(r.x) + ", " + std::to_string(r.y) : "-";
  const std::string hdr = !r.hdr_supported ? "no" : r.hdr_on ? "on" : "off";
  return {name, monitor, mode, position, r.primary ? "yes" : "-", hdr};
}
