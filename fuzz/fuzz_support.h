// Shared pieces of the fuzz targets: a console that writes nowhere, poisoning
// of the image bytes past the loaded length, and a hard stop on a broken rule.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "edid/edid_image.h"
#include "platform/console.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define VELMORIN_FUZZ_HAS_ASAN 1
#endif
#endif

// A console on /dev/null, opened once: the report code runs in full, but the
// fuzzer's own output stays readable.
inline const Console& NullConsole() {
  static const Console console = [] {
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (sink == nullptr) std::abort();
    return Console{sink, sink};
  }();
  return console;
}

// Marks the image bytes from `length` on as unreadable, so that any read past
// the loaded blocks stops the run, although it stays inside the 1024 bytes.
inline void PoisonPastLength(EdidImage& image, int32_t length) {
#ifdef VELMORIN_FUZZ_HAS_ASAN
  ASAN_POISON_MEMORY_REGION(image.bytes + length, sizeof image.bytes - static_cast<size_t>(length));
#else
  (void)image;
  (void)length;
#endif
}

inline void UnpoisonImage(EdidImage& image) {
#ifdef VELMORIN_FUZZ_HAS_ASAN
  ASAN_UNPOISON_MEMORY_REGION(image.bytes, sizeof image.bytes);
#else
  (void)image;
#endif
}

// A broken rule is a finding like a crash: print it and abort, which the
// fuzzer records as a crash with the input that caused it.
#define FUZZ_EXPECT(condition)                                                             \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)
