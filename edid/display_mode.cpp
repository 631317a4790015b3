#include "edid/display_mode.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace {

bool IsScanWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The base name follows the last backslash; only a path without any
// backslash falls back to the last forward slash.
const char* BaseName(const char* path) {
  const char* separator = std::strrchr(path, '\\');
  if (separator == nullptr) separator = std::strrchr(path, '/');
  return separator == nullptr ? path : separator + 1;
}

// Scans one decimal number as "%d" does: white space, an optional sign, at
// least one digit. Values beyond 32 bits saturate. Advances `text` past it.
bool ScanNumber(const char*& text, int32_t& value) {
  const char* p = text;
  while (IsScanWhiteSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (!IsDigit(*p)) return false;
  // Magnitude capped just past the largest that fits, so it cannot overflow.
  constexpr int64_t kCap = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; IsDigit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kCap) magnitude = kCap;
  }
  const int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value > std::numeric_limits<int32_t>::max()) {
    value = std::numeric_limits<int32_t>::max();
  } else {
    value = static_cast<int32_t>(signed_value);
  }
  text = p;
  return true;
}

}  // namespace

void ModeFromFileName(const char* path, DisplayMode& mode) {
  const char* text = BaseName(path);
  int32_t numbers[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (*text != 'x') {
        mode = kDefaultDisplayMode;
        return;
      }
      ++text;
    }
    if (!ScanNumber(text, numbers[i])) {
      mode = kDefaultDisplayMode;
      return;
    }
  }
  mode = DisplayMode{numbers[0], numbers[1], numbers[2]};
}
