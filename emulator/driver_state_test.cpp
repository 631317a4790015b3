#include "emulator/driver_state.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Concatenate(const std::vector<std::vector<uint8_t>>& writes) {
  std::vector<uint8_t> all;
  for (const auto& write : writes) all.insert(all.end(), write.begin(), write.end());
  return all;
}

}  // namespace

TEST(EmulatorApplyRequest, KeepsAListOfAttachedDisplays) {
  uint8_t image[256] = {};
  DriverRequest bad_magic = MakeRemoveRequest();
  bad_magic.magic = 0;
  DriverRequest unknown = MakeRemoveRequest();
  unknown.command = 9;
  const struct {
    DriverRequest request;
    int32_t status;
    const char* line;
  } steps[] = {
      {MakeRemoveRequest(), -1, "remove -> status -1, 0 attached"},
      {MakeAttachRequest(image, 256, 2560, 1440, 144), 0,
       "attach payload_size=256 width=2560 height=1440 refresh=144 -> status 0, 1 attached"},
      {MakeAttachRequest(image, 128, 1920, 1080, 60), 0,
       "attach payload_size=128 width=1920 height=1080 refresh=60 -> status 0, 2 attached"},
      {unknown, -1, "unknown command=9 -> status -1, 2 attached"},
      {bad_magic, -1, "bad request magic=0 marker1=1 marker2=1 command=2 -> status -1, 2 attached"},
      {MakeRemoveRequest(), 0, "remove -> status 0, 1 attached"},
      {MakeRemoveRequest(), 0, "remove -> status 0, 0 attached"},
      {MakeRemoveRequest(), -1, "remove -> status -1, 0 attached"},
  };
  DriverState state;
  EmulatorOptions options;
  for (const auto& step : steps) {
    std::string line;
    EXPECT_EQ(ApplyRequest(&state, step.request, options, &line), step.status) << step.line;
    EXPECT_EQ(line, step.line);
  }
}

TEST(EmulatorApplyRequest, FixedStatusLeavesTheListAlone) {
  uint8_t image[128] = {};
  DriverState state;
  EmulatorOptions options;
  options.fixed_status = true;
  options.status = -7;
  std::string line;
  EXPECT_EQ(ApplyRequest(&state, MakeAttachRequest(image, 128, 1, 2, 3), options, &line), -7);
  EXPECT_EQ(line, "attach payload_size=128 width=1 height=2 refresh=3 -> status -7, 0 attached");
  EXPECT_TRUE(state.displays.empty());
}

TEST(EmulatorBuildReplyWrites, ShapesTheReplyPerStyle) {
  const std::vector<uint8_t> good = {0x21, 0x43, 0x34, 0x12, 1,    0,    0,    0,
                                     1,    0,    0,    0,    0xFE, 0xFF, 0xFF, 0xFF};
  std::vector<uint8_t> doubled = good;
  doubled.insert(doubled.end(), good.begin(), good.end());
  const struct {
    ReplyStyle style;
    int short_bytes;
    size_t write_count;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {ReplyStyle::kNormal, 0, 1, good},
      {ReplyStyle::kShort, 5, 1, {0x21, 0x43, 0x34, 0x12, 1}},
      {ReplyStyle::kShort, 0, 1, {}},
      {ReplyStyle::kBadMagic, 0, 1, {0xEF, 0xBE, 0xAD, 0xDE, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {ReplyStyle::kBadMarker, 0, 1, {0x21, 0x43, 0x34, 0x12, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {ReplyStyle::kClose, 0, 0, {}},
      {ReplyStyle::kCloseEarly, 0, 0, {}},
      {ReplyStyle::kLong, 0, 1, doubled},
      {ReplyStyle::kSplit, 0, 2, good},
      {ReplyStyle::kGarbage, 0, 1, std::vector<uint8_t>(16, 0xA5)},
      {ReplyStyle::kSilent, 0, 0, {}},
  };
  for (const auto& test : cases) {
    EmulatorOptions options;
    options.style = test.style;
    options.short_bytes = test.short_bytes;
    auto writes = BuildReplyWrites(options, -2);
    EXPECT_EQ(writes.size(), test.write_count) << static_cast<int>(test.style);
    EXPECT_EQ(Concatenate(writes), test.bytes) << static_cast<int>(test.style);
  }
}
