#include "desk/saved_desk.h"

#include <gtest/gtest.h>

TEST(AsideName, UtcDateAndTimeThatSortAsTheyCame) {
  const struct {
    int64_t seconds;
    const char* name;
  } cases[] = {
      {0, "saved-layout-19700101T000000Z.txt"},
      {951782399, "saved-layout-20000228T235959Z.txt"},
      {951782400, "saved-layout-20000229T000000Z.txt"},  // a leap day
      {1796755625, "saved-layout-20261208T184705Z.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(AsideName(c.seconds), c.name) << c.seconds;
}
