#include "maker/maker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maker/command_line.h"

namespace {

std::string Parse(std::vector<const char*> args, MakerCommand& command) {
  args.insert(args.begin(), "velmorin-edid");
  return ParseMakerCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()), command);
}

}  // namespace

TEST(ParseMakerCommandLine, ReadsModesAndOptionsInAnyOrder) {
  MakerCommand command{};
  ASSERT_EQ(Parse({"--hdr", "2560x1600x165", "-o", "out/", "1920x1080x60", "--name", "Left", "--audio", "--text",
                   "--force", "--mm", "597x336"},
                  command),
            "");
  ASSERT_EQ(command.mode_count, 2);
  EXPECT_STREQ(command.mode_texts[0], "2560x1600x165");
  EXPECT_EQ(command.modes[1].refresh, 60);
  EXPECT_STREQ(command.output, "out/");
  EXPECT_STREQ(command.name, "Left");
  EXPECT_TRUE(command.hdr && command.audio && command.text && command.force);
  EXPECT_EQ(command.width_mm, 597);
  EXPECT_EQ(command.height_mm, 336);
  ASSERT_EQ(Parse({"1920x1080x60", "--size", "31.5"}, command), "");
  EXPECT_STREQ(command.name, "KovraMonitor");
  EXPECT_DOUBLE_EQ(command.diagonal_inches, 31.5);
  EXPECT_EQ(Parse({"--help"}, command), "");
  EXPECT_TRUE(command.help);
}

TEST(ParseMakerCommandLine, ReadsHdrAsAHostPassesItAndKeepsAttachToTheIdentityName) {
  const std::string not_a_switch = "\" is not one of true/false, 1/0, yes/no, on/off";
  const struct {
    std::vector<const char*> args;
    std::string problem;
    bool hdr;
  } cases[] = {
      {{"--hdr"}, "", true},     {{"--hdr=true"}, "", true}, {{"--hdr=FALSE"}, "", false}, {{"--hdr=1"}, "", true},
      {{"--hdr=0"}, "", false},  {{"--hdr=Yes"}, "", true},  {{"--hdr=no"}, "", false},    {{"--hdr=ON"}, "", true},
      {{"--hdr=oFf"}, "", false}, {{"--hdr", "--hdr=false"}, "", false}, {{"--attach"}, "", false},
      {{"--hdr="}, "--hdr=\"" + not_a_switch, false},
      {{"--hdr=truee"}, "--hdr=\"truee" + not_a_switch, false},
      {{"--hdr=2"}, "--hdr=\"2" + not_a_switch, false},
      {{"--hdr=%SUNSHINE_CLIENT_HDR%"}, "--hdr=\"%SUNSHINE_CLIENT_HDR%" + not_a_switch, false},
      {{"--HDR=true"}, "unknown option \"--HDR=true\" (see --help)", false},
      {{"--attach", "-o", "-"},
       "-o - cannot be given with --attach: the driver's status line would mix into the EDID on standard output",
       false},
      {{"--attach", "--name", "KovraMonitor"},
       "--name cannot be given with --attach: every monitor is attached as KovraMonitor, as \"velmorin /d\" names it",
       false},
  };
  for (const auto& c : cases) {
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "1920x1080x60");
    MakerCommand command{};
    EXPECT_EQ(Parse(args, command), c.problem) << c.args[0];
    if (c.problem.empty()) {
      EXPECT_EQ(command.hdr, c.hdr) << c.args[0];
    }
  }
}

TEST(OutputPath, NamesTheFileAfterTheFirstModeUnlessAFileIsGiven) {
  EXPECT_EQ(OutputPath(nullptr, "2560x1600x165", false), "2560x1600x165.bin");
  EXPECT_EQ(OutputPath(nullptr, "2560x1600x165", true), "2560x1600x165.txt");
  EXPECT_EQ(OutputPath("not-yet/", "1x1x1", false), "not-yet/1x1x1.bin");
  EXPECT_EQ(OutputPath("monitor.bin", "1x1x1", true), "monitor.bin");
}

TEST(FormatHexText, IsNeverAPositiveMultipleOf128Bytes) {
  for (int32_t size = 1; size <= 1024; ++size) {
    const std::vector<uint8_t> bytes(static_cast<size_t>(size), 0xA5);
    const std::string text = FormatHexText(bytes.data(), size);
    EXPECT_NE(text.size() % 128, 0u) << size;
    EXPECT_EQ(text.substr(0, 3), size == 1 ? "A5\r" : "A5 ");
  }
}
