// Fuzzes the EDID maker on random modes and options, and reads what it makes
// back through the tool's own loader and inspector. Input: a flag byte (bit 0
// HDR, bit 1 audio, bits 2-4 how many modes less one), then six bytes a mode
// (16-bit width, height and refresh, little-endian, zeros where the input
// runs short). Whatever MakeEdid accepts must load as 256 bytes, pass the
// inspection's checksum and header tests, keep its bytes under the identity
// patch and list the first mode (or its stand-in) first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "edid/base_block.h"
#include "edid/inspect.h"
#include "edid/load.h"
#include "edid/make_edid.h"
#include "fuzz/fuzz_support.h"

namespace {

uint32_t Le16(const uint8_t* data, size_t size, size_t offset) {
  const uint32_t low = offset < size ? data[offset] : 0;
  const uint32_t high = offset + 1 < size ? data[offset + 1] : 0;
  return low | (high << 8);
}

// A private file per process: nothing shared with other runs.
const std::string& ScratchPath() {
  static const std::string path = [] {
    char name[] = "/tmp/velmorin_make_fuzz_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    std::strcat(name, "");
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  DisplayMode modes[8];
  const int32_t count = ((data[0] >> 2) & 7) + 1;
  for (int32_t i = 0; i < count; ++i) {
    const size_t at = 1 + static_cast<size_t>(i) * 6;
    modes[i] = DisplayMode{static_cast<int32_t>(Le16(data, size, at)), static_cast<int32_t>(Le16(data, size, at + 2)),
                           static_cast<int32_t>(Le16(data, size, at + 4))};
  }
  EdidRequest request{};
  request.modes = modes;
  request.mode_count = count;
  request.hdr = (data[0] & 1) != 0;
  request.audio = (data[0] & 2) != 0;
  std::snprintf(request.name, sizeof request.name, "%s", kIdentityName);
  request.width_mm = 597;
  request.height_mm = 336;

  uint8_t edid[kMadeEdidSize];
  const MakeEdidResult made = MakeEdid(request, edid);
  if (made.status != MakeEdidStatus::kMade) {
    if (made.status == MakeEdidStatus::kModeNotDescribable) {
      DescribedMode described{};
      FUZZ_EXPECT(DescribeMode(modes[made.mode_index], described) != ModeProblem::kNone);
    }
    return 0;
  }
  uint8_t again[kMadeEdidSize];
  FUZZ_EXPECT(MakeEdid(request, again).status == MakeEdidStatus::kMade);
  FUZZ_EXPECT(std::memcmp(edid, again, sizeof edid) == 0);
  for (int32_t i = 0; i < count; ++i) {
    DescribedMode described{};
    FUZZ_EXPECT(DescribeMode(modes[i], described) == ModeProblem::kNone);
    const double refresh = TimingRefresh(described.timing);
    FUZZ_EXPECT(refresh >= modes[i].refresh * (1 - kMaxRefreshError) &&
                refresh <= modes[i].refresh * (1 + kMaxRefreshError));
  }

  std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  FUZZ_EXPECT(file != nullptr);
  FUZZ_EXPECT(std::fwrite(edid, 1, sizeof edid, file) == sizeof edid);
  FUZZ_EXPECT(std::fclose(file) == 0);
  static EdidImage image;
  UnpoisonImage(image);
  FUZZ_EXPECT(LoadEdidFile(ScratchPath().c_str(), image, NullConsole()) == kMadeEdidSize);
  FUZZ_EXPECT(std::memcmp(image.bytes, edid, sizeof edid) == 0);
  PoisonPastLength(image, image.length);
  TimingTable timings;
  const bool failed = InspectEdid(image, timings, NullConsole());
  UnpoisonImage(image);
  FUZZ_EXPECT(!failed);
  FUZZ_EXPECT(std::memcmp(image.bytes, edid, sizeof edid) == 0);
  FUZZ_EXPECT(timings.count >= 1);
  DescribedMode first{};
  DescribeMode(modes[0], first);
  if (IsDescriptorForm(first.form)) {
    FUZZ_EXPECT(timings.records[0].width == modes[0].width);
    FUZZ_EXPECT(timings.records[0].height == modes[0].height);
  } else {
    // The stand-in: the first mode's shape, scaled down until a descriptor holds it.
    FUZZ_EXPECT(static_cast<int64_t>(timings.records[0].width) * modes[0].height ==
                static_cast<int64_t>(timings.records[0].height) * modes[0].width ||
                timings.records[0].width <= modes[0].width);
  }
  return 0;
}
