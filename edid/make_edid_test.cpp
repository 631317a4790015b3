#include "edid/make_edid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <tuple>
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
    int32_t v_front;
    int64_t clock_khz;
  } cases[] = {
      {{1920, 1080, 60}, ModeProblem::kNone, TimingForm::kReducedV2, 17, 133320},
      {{1280, 720, 60}, ModeProblem::kNone, TimingForm::kReducedV2, 7, 60470},     // 60.466 to the nearest step
      {{2560, 1440, 144}, ModeProblem::kNone, TimingForm::kReducedV1, 3, 604250},  // v2 front porch of 89 lines
      // v2 is 679 MHz: the longest front porch within 655.35 MHz.
      {{2560, 1440, 165}, ModeProblem::kNone, TimingForm::kFittedV2, 50, 655140},
      {{1360, 768, 290}, ModeProblem::kNone, TimingForm::kFittedV2, 63, 352870},  // v2 porch 105, v1 0.06 % off
      {{2560, 1600, 165}, ModeProblem::kNone, TimingForm::kTypeSeven, 118, 754459},  // one line is too many
      {{1920, 1080, 600}, ModeProblem::kNone, TimingForm::kTypeSeven, 398, 1790400},
      {{7680, 4320, 60}, ModeProblem::kNone, TimingForm::kTypeSeven, 109, 2068660},
      {{640, 480, 24}, ModeProblem::kNone, TimingForm::kTypeTen, 1, 8553},  // 9.6 MHz even with 63 lines
      // A 1 kHz clock step misses a 2 Hz refresh of a few hundred kilohertz.
      {{38, 528, 2}, ModeProblem::kRefreshInexact, TimingForm::kReducedV2, 0, 0},
      {{64, 64, 300}, ModeProblem::kClockTooLow, TimingForm::kReducedV2, 0, 0},
      {{30000, 20000, 60}, ModeProblem::kTooLarge, TimingForm::kReducedV2, 0, 0},
      {{0, 1080, 60}, ModeProblem::kNoTiming, TimingForm::kReducedV2, 0, 0},
  };
  for (const auto& c : cases) {
    DescribedMode described{};
    const ModeProblem problem = DescribeMode(c.mode, described);
    const auto label = std::to_string(c.mode.width) + "x" + std::to_string(c.mode.height) + "x" +
                       std::to_string(c.mode.refresh);
    EXPECT_EQ(problem, c.problem) << label;
    if (problem != ModeProblem::kNone) continue;
    EXPECT_EQ(described.form, c.form) << label;
    EXPECT_EQ(described.timing.pixel_clock_khz, c.clock_khz) << label;
    EXPECT_EQ(described.timing.v_front, c.v_front) << label;
  }
}

TEST(StandInTiming, TakesTheLargestSizeOfTheShapeADescriptorHolds) {
  const struct {
    DisplayMode mode;
    bool found;
    DisplayMode stand_in;
  } cases[] = {
      {{5120, 1440, 240}, true, {3840, 1080, 60}},  // 6/8
      {{7680, 4320, 120}, true, {3840, 2160, 60}},  // 4/8
      {{3840, 2160, 240}, true, {3840, 2160, 60}},
      {{32767, 32767, 1}, true, {2048, 2048, 60}},  // 1/16, to the nearest pixel
      {{4096, 2, 120}, true, {3584, 2, 60}},        // 7/8, with a 63-line front porch
      {{320, 200, 300}, true, {320, 200, 91}},      // under 10 MHz at 60 Hz
      {{32, 24, 90}, false, {}},
  };
  for (const auto& c : cases) {
    CvtTiming timing{};
    ASSERT_EQ(StandInTiming(c.mode, timing), c.found) << c.mode.width << "x" << c.mode.height;
    if (!c.found) continue;
    EXPECT_EQ(std::tuple(timing.h_active, timing.v_active, std::lround(TimingRefresh(timing))),
              std::tuple(c.stand_in.width, c.stand_in.height, static_cast<long>(c.stand_in.refresh)))
        << c.mode.width << "x" << c.mode.height;
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
  const std::vector<DisplayMode> modes = {{3840, 2160, 120}, {3840, 2160, 144}, {2560, 1600, 165},
                                          {3440, 1440, 144}, {5120, 1440, 240}, {7680, 4320, 60}};
  uint8_t edid[kMadeEdidSize];
  const MakeEdidResult result = MakeEdid(Request(modes), edid);
  EXPECT_EQ(result.status, MakeEdidStatus::kTooManyModes);
  EXPECT_EQ(result.mode_index, 5);
  const std::vector<DisplayMode> bad = {{1920, 1080, 60}, {640, 480, 2500}};
  const MakeEdidResult refused = MakeEdid(Request(bad), edid);
  EXPECT_EQ(refused.status, MakeEdidStatus::kModeNotDescribable);
  EXPECT_EQ(refused.mode_index, 1);
  // The six descriptors taken, 300 Hz is beyond a Type X timing, and a
  // descriptor could hold it: no room is not the reason.
  const std::vector<DisplayMode> late = {{1920, 1080, 60}, {1920, 1080, 50}, {1280, 720, 60}, {1280, 720, 50},
                                         {1024, 768, 60}, {800, 600, 60}, {1280, 720, 300}};
  const MakeEdidResult no_form = MakeEdid(Request(late), edid);
  EXPECT_EQ(no_form.status, MakeEdidStatus::kNoFormLeft);
  EXPECT_EQ(no_form.mode_index, 6);
}

TEST(MakeEdid, PlacesDescriptorsWhereTheReportReadsThem) {
  const struct {
    std::vector<DisplayMode> modes;
    int32_t cta_descriptors;
    bool range_limits;
    TimingForm last_form;
    DisplayMode base_first;  // what readers of the base block see first
  } cases[] = {
      {{{1920, 1080, 60}}, 0, true, TimingForm::kReducedV2, {1920, 1080, 60}},
      // Eight descriptor modes: two in the base block, four in the CTA-861
      // block, and the last two as Type X timings.
      {{{1920, 1080, 60}, {1920, 1080, 50}, {1920, 1080, 30}, {1920, 1080, 24}, {1280, 720, 60}, {1280, 720, 50},
        {1280, 720, 30}, {1280, 720, 24}},
       4, true, TimingForm::kTypeTen, {1920, 1080, 60}},
      // Beyond what the range limits state: 600 Hz, below 1 Hz.
      {{{1920, 1080, 600}}, 0, false, TimingForm::kTypeSeven, {1920, 1080, 60}},
      {{{32767, 32767, 1}}, 0, false, TimingForm::kTypeSeven, {2048, 2048, 60}},
  };
  for (const auto& c : cases) {
    uint8_t edid[kMadeEdidSize];
    const MakeEdidResult made = MakeEdid(Request(c.modes), edid);
    ASSERT_EQ(made.status, MakeEdidStatus::kMade) << c.modes.size();
    EXPECT_EQ(made.forms[c.modes.size() - 1], c.last_form) << c.modes[0].refresh;
    EXPECT_EQ(made.base_first, c.base_first) << c.modes[0].refresh;
    const uint8_t* cta = edid + kEdidBlockSize;
    int32_t descriptors = 0;
    for (int32_t at = cta[2]; at + kDescriptorSize < kEdidBlockSize && (cta[at] | cta[at + 1]) != 0;
         at += kDescriptorSize) {
      ++descriptors;
    }
    EXPECT_EQ(descriptors, c.cta_descriptors) << c.modes[0].refresh;
    EXPECT_EQ(ClassifyDescriptor(edid + kDescriptorOffsets[2]), c.range_limits ? kRangeLimitsTag : kDummyDescriptorTag)
        << c.modes[0].refresh;
  }
}
