#include "app/dispatch.h"

#include <gtest/gtest.h>

#include "tests/unit/test_support.h"

using namespace test_support;

// Only command lines that never reach the driver's pipe: the exchanges
// themselves are tried end to end against the driver emulator.
TEST(RunCommandLine, ChoosesTheCommandOrExplains) {
  const std::string usage =
      "Velmorin : \nUsage: \n    Velmorin /d edid_file : \n"
      "    Velmorin /c i  : Remove display \"i\", if it's attached by this app, from the desktop.\n";
  ScratchFolder folder;
  const std::string broken = folder.Join("1920x1080x60.bin");
  Bytes image = BaseBlock({NameDescriptor("Old")});
  image[127] = static_cast<uint8_t>(image[127] + 3);
  WriteFile(broken, image);
  const std::string report =
      "checksum wrong 3\n\t# EDID version 1 revision 3\n"
      "\t# DPMS capabilities: Active off:yes  Suspend:no  Standby:yes\n\n"
      "NO CEA extension\nIt's NOT an HDMI monitor\nNO CEA extension\nMonitor has NO audio\n";
  const std::string missing = folder.Join("missing");
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string err{};
  } cases[] = {
      {{}, usage},
      {{"/D"}, "Unknown command : /D\n"},
      {{"-d", broken}, "Unknown command : -d\n"},
      {{"help", "x", "y"}, "Unknown command : help\n"},
      {{"/c"}, usage},
      {{"x/cy"}, usage},
      {{"/d"}, usage},
      {{"/l"}, usage},
      {{"/d", missing}, "", "Velmorin: could not read " + missing + "\n"},
      {{"/l", missing}, "", "Velmorin: could not read folder " + missing + "\n"},
      {{"/d", broken, "ignored"}, report},
      {{"/l/d", broken}, report},  // "/d" is tested before "/l"
      {{"/l", broken}, "", "Velmorin: could not read folder " + broken + "\n"},  // a file is no folder
      {{"/l", folder.path.string()}, report},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"velmorin"};
    std::string line;
    for (const std::string& arg : c.args) {
      argv.push_back(arg.c_str());
      line += " " + arg;
    }
    SCOPED_TRACE(line);
    CapturedConsole capture;
    EXPECT_EQ(RunCommandLine(static_cast<int>(argv.size()), argv.data(), capture.console()), 0);
    EXPECT_EQ(capture.Out(), c.out);
    EXPECT_EQ(capture.Err(), c.err);
  }
}
