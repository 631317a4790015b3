#include "host_attach/host_arguments.h"

#include <gtest/gtest.h>

TEST(ParseModeText, AcceptsOnlyTheFileNameConvention) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {"2560x1600x165", true}, {"1x1x1", true},        {"999999x1x1", true},     {"1000000x1x1", false},
      {"2560X1600X165", false}, {"2560x1600", false},  {"2560x1600x165x", false}, {"2560x1600x16a", false},
      {"02560x1600x165", false}, {"0x1600x165", false}, {"-1x1600x165", false},  {"+1x1600x165", false},
      {" 1x1x1", false},       {"1x1x1 ", false},      {"", false},              {"x1x1", false},
  };
  for (const auto& c : cases) {
    DisplayMode mode{};
    EXPECT_EQ(ParseModeText(c.text, mode).empty(), c.accepted) << c.text;
  }
}
