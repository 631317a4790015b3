#include "control/control_choices.h"

#include <gtest/gtest.h>

TEST(ParseChoices, TheWholeTextAsWrittenOrNothing) {
  const ControlChoices chosen{"2560x1440x165", true, false, LayoutWish::kOnly};
  const std::string written = FormatChoices(chosen);
  ControlChoices read = DefaultChoices();
  ASSERT_TRUE(ParseChoices(written, &read));
  EXPECT_EQ(read, chosen);
  const std::string damaged[] = {
      "",
      written.substr(0, written.size() - 1),                // cut short
      written + "mode 1x1x1\n",                              // more than was written
      "velmorin-control choices 2\n" + written.substr(written.find('\n') + 1),
      "velmorin-control choices 1\nmode 2560x1440\nhdr yes\naudio no\nlayout only\n",
      "velmorin-control choices 1\nmode 2560x1440x165\nhdr maybe\naudio no\nlayout only\n",
      "velmorin-control choices 1\nmode 2560x1440x165\nhdr yes\naudio no\nlayout mirror\n",
      "velmorin-control choices 1\nhdr yes\nmode 2560x1440x165\naudio no\nlayout only\n",
  };
  for (const std::string& text : damaged) {
    ControlChoices kept = DefaultChoices();
    EXPECT_FALSE(ParseChoices(text, &kept)) << text;
    EXPECT_EQ(kept, DefaultChoices()) << text;
  }
}
