#include "desk/desk_text.h"

#include "desk/saved_desk.h"

const char* const kAnotherCommand = "another velmorin-display is changing the displays";

std::string DescribeDisplay(const DisplayRecord& r, const std::string& hdr) {
  const std::string name = r.gdi_name.empty() ? r.device_path : r.gdi_name;
  const std::string hdr_words = !hdr.empty() ? hdr : !r.hdr_supported ? "no HDR" : (r.hdr_on ? "HDR on" : "HDR off");
  if (!r.active) return name + ": inactive, " + hdr_words;
  const std::string refresh = FormatRefresh(r.refresh);
  return name + ": " + std::to_string(r.width) + "x" + std::to_string(r.height) +
         (refresh == "unspecified" ? " at an unspecified rate" : " at " + refresh + " Hz") + ", " + hdr_words;
}

std::string AskedMode(const DisplayMode& mode) {
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + " at " + std::to_string(mode.refresh) +
         " Hz";
}

std::string Seconds(int32_t seconds) { return std::to_string(seconds) + " s"; }

std::string CallProblem(const DisplayCallResult& result) {
  if (result.status == DisplayCallStatus::kAccessDenied) return "Windows refused access";
  return "error " + std::to_string(result.error_code);
}

std::string ReadProblem(const DisplayCallResult& result) {
  switch (result.status) {
    case DisplayCallStatus::kAccessDenied:
      return "Windows refuses access to the display configuration here (a service, another session, the lock "
             "screen, or the first seconds after logon)";
    case DisplayCallStatus::kNotSupported:
      return "this system has no display driver model to ask";
    default:
      break;
  }
  return "reading the display configuration failed, error " + std::to_string(result.error_code);
}

std::string StaysSaved() {
  return "the saved layout stays in " + SavedDeskPath() + " (velmorin-display restore puts it back)";
}
