#include "host_attach/host_arguments.h"

namespace {

constexpr int32_t kMaxDigits = 6;  // far beyond any mode a descriptor carries

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// ASCII letters only: the same on every system, whatever its locale.
bool SameIgnoringCase(const char* a, const char* b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (; *a != '\0' && lower(*a) == lower(*b); ++a, ++b) {
  }
  return *a == *b;
}

}  // namespace

bool ScanModeNumber(const char*& p, int32_t& value) {
  if (!IsDigit(*p) || (*p == '0' && IsDigit(p[1]))) return false;
  int32_t digits = 0;
  value = 0;
  for (; IsDigit(*p); ++p) {
    if (++digits > kMaxDigits) return false;
    value = value * 10 + (*p - '0');
  }
  return true;
}

std::string ParseModeText(const char* text, DisplayMode& mode) {
  const char* p = text;
  int32_t numbers[3] = {0, 0, 0};
  for (int32_t i = 0; i < 3; ++i) {
    if (i > 0 && *p++ != 'x') {
      return "mode " + Quoted(text) + " is not WIDTHxHEIGHTxREFRESH (decimal numbers joined by a lower-case x)";
    }
    if (*p == '-') return "mode " + Quoted(text) + " has a negative number";
    if (*p == '0' && !IsDigit(p[1])) return "mode " + Quoted(text) + " has a zero";
    if (!ScanModeNumber(p, numbers[i])) {
      return "mode " + Quoted(text) + " is not WIDTHxHEIGHTxREFRESH (decimal numbers of at most " +
             std::to_string(kMaxDigits) + " digits, no sign or leading zero, joined by a lower-case x)";
    }
  }
  if (*p != '\0') {
    return "mode " + Quoted(text) + " is not WIDTHxHEIGHTxREFRESH (nothing may follow the refresh rate)";
  }
  mode = DisplayMode{numbers[0], numbers[1], numbers[2]};
  return std::string();
}

bool ParseSwitchValue(const char* text, bool& value) {
  static const char* const kWords[][2] = {{"true", "false"}, {"1", "0"}, {"yes", "no"}, {"on", "off"}};
  for (const auto& pair : kWords) {
    for (int truth = 0; truth < 2; ++truth) {
      if (SameIgnoringCase(text, pair[truth])) {
        value = truth == 0;
        return true;
      }
    }
  }
  return false;
}

std::string SwitchValueProblem(const char* option, const char* value) {
  return std::string(option) + "=" + Quoted(value) + " is not one of true/false, 1/0, yes/no, on/off";
}
