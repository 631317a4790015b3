#include "edid/make_edid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "edid/base_block.h"

namespace {

EdidRequest Request(const std::vector<DisplayMode>& modes, bool hdr = false, bool audio = false) {
  EdidRequest request{};
  request.modes = modes.data();
  request.mode_count = static_cast<int32_t>(modes.size());
  request.hdr = hdr;
  request.audio = audio;
  std::snprintf(request.name, sizeof request.name, "%s", kIdentityName);
  request.width_mm = 597;
  request.height_mm = 336;
  return request;
}

}  // namespace

TEST(DescribeMode, ChoosesTheFormReadersAndCta861Accept) {
  const struct {
    DisplayMode mode;
    ModeProblem problem;
    TimingForm form;
    int32_t version;
  } cases[] = {
      {{1920, 1080, 60}, ModeProblem::kNone, TimingForm::kDetailed, 2},    // 133.320 MHz, on the 10 kHz step
      {{2560, 1440, 144}, ModeProblem::kNone, TimingForm::kDetailed, 1},   // v2 front porch of 89 lines
      {{2560, 1600, 165}, ModeProblem::kNone, TimingForm::kTypeSeven, 2},  // 754.459 MHz
      {{7680, 4320, 60}, ModeProblem::kNone, TimingForm::kTypeSeven, 2},   // 7680 pixels
      {{1280, 1024, 75}, ModeProblem::kNone, TimingForm::kTypeTen, 2},     // 108.221 MHz, v1 0.08 % off
      {{640, 480, 24}, ModeProblem::kNone, TimingForm::kTypeTen, 2},       // below 10 MHz
      {{1360, 768, 290}, ModeProblem::kRefreshInexact, TimingForm::kDetailed, 0},
      // A 1 kHz clock step misses a 2 Hz refresh of a few hundred kilohertz.
      {{38, 528, 2}, ModeProblem::kRefreshInexact, TimingForm::kDetailed, 0},
      {{64, 64, 300}, ModeProblem::kClockTooLow, TimingForm::kDetailed, 0},
      {{1920, 1080, 600}, ModeProblem::kRefreshTooHigh, TimingForm::kDetailed, 0},
      {{30000, 20000, 60}, ModeProblem::kTooLarge, TimingForm::kDetailed, 0},
      {{0, 1080, 60}, ModeProblem::kNoTiming, TimingForm::kDetailed, 0},
  };
  for (const auto& c : cases) {
    DescribedMode described{};
    const ModeProblem problem = DescribeMode(c.mode, described);
    const auto label = std::to_string(c.mode.width) + "x" + std::to_string(c.mode.height) + "x" +
                       std::to_string(c.mode.refresh);
    EXPECT_EQ(problem, c.problem) << label;
    if (problem != ModeProblem::kNone) continue;
    EXPECT_EQ(described.form, c.form) << label;
    EXPECT_EQ(described.reduced_blanking, c.version) << label;
  }
}

TEST(MakeEdid, WritesTheSameValidBlocksForTheSameRequest) {
  const std::vector<DisplayMode> modes = {{2560, 1600, 165}, {1920, 1080, 60}, {1280, 1024, 75}};
  uint8_t first[kMadeEdidSize];
  uint8_t second[kMadeEdidSize];
  for (const bool hdr : {false, true}) {
    for (const bool audio : {false, true}) {
      const EdidRequest request = Request(modes, hdr, audio);
      ASSERT_EQ(MakeEdid(request, first).status, MakeEdidStatus::kMade);
      ASSERT_EQ(MakeEdid(request, second).status, MakeEdidStatus::kMade);
      EXPECT_EQ(std::memcmp(first, second, kMadeEdidSize), 0);
      EXPECT_TRUE(HasEdidHeader(first));
      EXPECT_EQ(SumBytes(first, kEdidBlockSize), 0);
      EXPECT_EQ(SumBytes(first + kEdidBlockSize, kEdidBlockSize), 0);
      EXPECT_EQ(first[kExtensionCountOffset], 1);
      EXPECT_EQ(first[kEdidBlockSize], 0x02);  // CTA-861
    }
  }
}

TEST(MakeEdid, LeavesNothingForTheAttachNamePatchToChange) {
  uint8_t edid[kMadeEdidSize];
  ASSERT_EQ(MakeEdid(Request({{1920, 1080, 60}}), edid).status, MakeEdidStatus::kMade);
  uint8_t patched[kMadeEdidSize];
  std::memcpy(patched, edid, sizeof edid);
  ApplyIdentityPatch(patched);
  EXPECT_EQ(std::memcmp(edid, patched, sizeof edid), 0);
}

TEST(MakeEdid, DerivesTheSerialNumberFromEveryArgument) {
  const std::vector<DisplayMode> a = {{1920, 1080, 60}};
  const std::vector<DisplayMode> b = {{1920, 1080, 61}};
  EdidRequest named = Request(a);
  std::snprintf(named.name, sizeof named.name, "%s", "Left");
  EdidRequest larger = Request(a);
  larger.width_mm = 700;
  const uint32_t serials[] = {RequestSerial(Request(a)), RequestSerial(Request(b)), RequestSerial(Request(a, true)),
                              RequestSerial(Request(a, false, true)), RequestSerial(named), RequestSerial(larger)};
  for (size_t i = 0; i < std::size(serials); ++i) {
    for (size_t j = i + 1; j < std::size(serials); ++j) EXPECT_NE(serials[i], serials[j]) << i << " " << j;
  }
}

TEST(MakeEdid, SaysHowManyModesFit) {
  // Six Type VII timings of 23 bytes each do not fit beside the capability block.
  const std::vector<DisplayMode> modes = {{3840, 2160, 120}, {2560, 1440, 165}, {2560, 1600, 165},
                                          {3440, 1440, 144}, {5120, 1440, 240}, {7680, 4320, 60}};
  uint8_t edid[kMadeEdidSize];
  const MakeEdidResult result = MakeEdid(Request(modes), edid);
  EXPECT_EQ(result.status, MakeEdidStatus::kTooManyModes);
  EXPECT_EQ(result.mode_index, 5);
  const std::vector<DisplayMode> bad = {{1920, 1080, 60}, {1920, 1080, 900}};
  const MakeEdidResult refused = MakeEdid(Request(bad), edid);
  EXPECT_EQ(refused.status, MakeEdidStatus::kModeNotDescribable);
  EXPECT_EQ(refused.mode_index, 1);
}
