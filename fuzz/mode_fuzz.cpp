// Fuzzes the display mode scan on arbitrary zero-terminated names. Where no
// number in the base name is long enough to overflow, the formatted reader
// itself says what the scan must give.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "edid/display_mode.h"
#include "fuzz/fuzz_support.h"

namespace {

const char* BaseNameOf(const char* path) {
  const char* separator = std::strrchr(path, '\\');
  if (separator == nullptr) separator = std::strrchr(path, '/');
  return separator == nullptr ? path : separator + 1;
}

// True when every run of digits is short enough for "%d" to be defined.
bool HasOnlyShortNumbers(const char* text) {
  int run = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    run = (*p >= '0' && *p <= '9') ? run + 1 : 0;
    if (run > 9) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The name ends at its first NUL, as a command-line argument would.
  const std::string name(reinterpret_cast<const char*>(data), size);
  const char* path = name.c_str();

  DisplayMode mode{-1, -1, -1};
  ModeFromFileName(path, mode);

  const char* base = BaseNameOf(path);
  if (HasOnlyShortNumbers(base)) {
    int width = 0;
    int height = 0;
    int refresh = 0;
    // NOLINTNEXTLINE(cert-err34-c): the formatted reader is the reference here, on numbers it can hold.
    const bool matched = std::sscanf(base, "%dx%dx%d", &width, &height, &refresh) == 3;
    const DisplayMode expected = matched ? DisplayMode{width, height, refresh} : kDefaultDisplayMode;
    FUZZ_EXPECT(mode.width == expected.width);
    FUZZ_EXPECT(mode.height == expected.height);
    FUZZ_EXPECT(mode.refresh == expected.refresh);
  }
  return 0;
}
