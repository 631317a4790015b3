#include "desk/saved_desk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/unit/test_support.h"

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

TEST(SetSavedDeskAside, MovesItWholeAndKeepsTheFiveNewest) {
  const test_support::ScratchFolder state;
  test_support::SetVariable("VELMORIN_STATE_DIR", state.path.string());
  const std::string older[] = {"saved-layout-20200101T000000Z.txt", "saved-layout-20210101T000000Z.txt",
                               "saved-layout-20220101T000000Z.txt", "saved-layout-20230101T000000Z.txt",
                               "saved-layout-20240101T000000Z.txt", "saved-layout-20250101T000000Z.txt"};
  for (const std::string& name : older) test_support::WriteFile(state.Join(name), name);
  test_support::WriteFile(state.Join("saved-layout.txt"), "the desk");
  const std::string aside = SetSavedDeskAside();
  test_support::SetVariable("VELMORIN_STATE_DIR", "");
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(state.path)) names.insert(entry.path().filename().string());
  const std::string moved = std::filesystem::path(aside).filename().string();
  EXPECT_EQ(names, (std::set<std::string>{older[2], older[3], older[4], older[5], moved}));
  EXPECT_EQ(test_support::ReadFile(aside), (std::vector<uint8_t>{'t', 'h', 'e', ' ', 'd', 'e', 's', 'k'}));
}
