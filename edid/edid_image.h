// The in-memory records shared by loading, inspection, listing and sending.
#pragma once

#include <cstdint>

inline constexpr int32_t kEdidBlockSize = 128;
inline constexpr int32_t kEdidMaxBlocks = 8;
inline constexpr int32_t kEdidImageCapacity = kEdidBlockSize * kEdidMaxBlocks;

// One file's EDID: up to eight 128-byte blocks. `length` is a whole number of
// blocks after a successful load, 0 when nothing was loaded.
struct EdidImage {
  uint8_t bytes[kEdidImageCapacity];
  int32_t length;
};

// Width, height and refresh asked for by an EDID file's name.
struct DisplayMode {
  int32_t width;
  int32_t height;
  int32_t refresh;

  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// One decoded detailed timing.
struct TimingRecord {
  int32_t width;
  int32_t height;
  int32_t refresh;
};

// Four descriptors in each of at most two block passes.
inline constexpr int32_t kMaxTimingsPerInspection = 8;

struct TimingTable {
  TimingRecord records[kMaxTimingsPerInspection];
  int32_t count;
};
