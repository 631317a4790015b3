#include "display/display_text.h"

#include <cstdio>

namespace {

std::string Or(const std::string& text) { return text.empty() ? "-" : text; }

std::string HdrWord(const DisplayRecord& r) {
  if (!r.hdr_supported) return "no-hdr";
  return r.hdr_on ? "hdr-on" : "hdr-off";
}

// A JSON string: quotes, backslashes and control characters escaped; UTF-8 as it is.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonOptional(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

const char* JsonBool(bool value) { return value ? "true" : "false"; }

std::string Mode(const DisplayRecord& r) {
  return std::to_string(r.width) + "x" + std::to_string(r.height) + "x" + FormatRefresh(r.refresh);
}

}  // namespace

std::string FormatDisplayLine(const DisplayRecord& r) {
  const std::string position = std::to_string(r.x) + "," + std::to_string(r.y);
  return Or(r.gdi_name) + "\t" + Or(r.monitor_name) + "\t" + (r.active ? Mode(r) : "-") + "\t" +
         (r.active ? position : "-") + "\t" + (r.primary ? "primary" : "-") + "\t" + HdrWord(r) + "\t" +
         Or(r.device_path);
}

std::string FormatDisplayJson(const std::vector<DisplayRecord>& records) {
  if (records.empty()) return "[]\n";
  std::string out = "[\n";
  for (size_t i = 0; i < records.size(); ++i) {
    const DisplayRecord& r = records[i];
    const std::string refresh = FormatRefresh(r.refresh);
    const bool rate = r.active && refresh != "unspecified";
    out += "  {\"name\": " + JsonOptional(r.gdi_name) + ", \"monitor\": " + JsonOptional(r.monitor_name) +
           ", \"manufacturer\": " + JsonOptional(r.manufacturer) +
           ", \"product_code\": " + (r.edid_ids_valid ? std::to_string(r.product_code) : "null") +
           ", \"device_path\": " + JsonString(r.device_path) + ", \"active\": " + JsonBool(r.active) +
           ", \"primary\": " + JsonBool(r.primary) + ", \"x\": " + (r.active ? std::to_string(r.x) : "null") +
           ", \"y\": " + (r.active ? std::to_string(r.y) : "null") +
           ", \"width\": " + (r.active ? std::to_string(r.width) : "null") +
           ", \"height\": " + (r.active ? std::to_string(r.height) : "null") +
           ", \"refresh\": " + (rate ? refresh : "null") + ", \"hdr_supported\": " + JsonBool(r.hdr_supported) +
           ", \"hdr_on\": " + JsonBool(r.hdr_on) + "}" + (i + 1 < records.size() ? ",\n" : "\n");
  }
  return out + "]\n";
}
