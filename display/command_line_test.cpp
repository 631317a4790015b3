#include "display/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ParseDisplayCommandLine, TakesEachCommandsOwnArgumentsOnly) {
  const struct {
    std::vector<const char*> args;
    std::string problem;
  } cases[] = {
      {{"list", "--all", "--json"}, ""},
      {{"attach", "2560x1440x120", "--hdr=off", "--audio", "--only", "--wait", "0"}, ""},
      {{"use", "\\\\.\\DISPLAY7", "1920x1080x60", "--primary"}, ""},
      {{"detach", "--wait", "30"}, ""},
      {{}, "no command given: list, attach, use, detach or restore (see --help)"},
      {{"show"}, "unknown command \"show\": list, attach, use, detach or restore (see --help)"},
      {{"attach"}, "attach needs a MODE, such as 2560x1440x120"},
      {{"attach", "2560x1440"}, "mode \"2560x1440\" is not WIDTHxHEIGHTxREFRESH (decimal numbers joined by a lower-case x)"},
      {{"attach", "1x1x1", "2x2x2"}, "attach does not take \"2x2x2\" (see --help)"},
      {{"attach", "1x1x1", "--primary", "--only"}, "--primary and --only cannot be given together"},
      {{"attach", "1x1x1", "--hdr=maybe"}, "--hdr=\"maybe\" is not one of true/false, 1/0, yes/no, on/off"},
      {{"attach", "1x1x1", "--wait", "-1"}, "--wait needs a whole number of seconds from 0 to 3600, not \"-1\""},
      {{"attach", "1x1x1", "--wait"}, "--wait needs a whole number of seconds from 0 to 3600, not \"\""},
      {{"use"}, "use needs a DISPLAY: \\\\.\\DISPLAY7, 7, or a monitor's device path (see velmorin-display list --all)"},
      {{"use", "7", "--audio"}, "use does not take \"--audio\" (see --help)"},
      {{"list", "--wait", "5"}, "list does not take \"--wait\" (see --help)"},
      {{"restore", "--only"}, "restore does not take \"--only\" (see --help)"},
      {{"detach", "--all", "--wait", "5"}, ""},
      {{"attach", "1x1x1", "--keep"}, ""},
      {{"restore", "--wait", "0"}, ""},
      {{"restore", "--all"}, "restore does not take \"--all\" (see --help)"},
      {{"use", "7", "--keep"}, "use does not take \"--keep\" (see --help)"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "velmorin-display");
    DisplayCommand command{};
    EXPECT_EQ(ParseDisplayCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()), command),
              c.problem)
        << (c.args.empty() ? "(none)" : c.args[0]);
  }
}
