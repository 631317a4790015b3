#include "survey/walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/unit/test_support.h"

using namespace test_support;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Walk(const std::string& folder) {
  std::vector<FolderEntry> entries;
  uint32_t counter = 0;
  WalkFolder(folder, entries, counter);
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) names.push_back(entry.name);
  return names;
}

void Touch(const fs::path& path) { WriteFile(path.string(), std::string()); }

// Ten folders a0..a9, each holding a folder s with `files` files f00...:
// 20 + 10 * files entries, all names in byte order as created.
std::vector<std::string> MakeTree(const ScratchFolder& root, int files) {
  std::vector<std::string> walk_order;
  for (int a = 0; a < 10; ++a) {
    char top_name[16];
    std::snprintf(top_name, sizeof top_name, "a%d", a);
    const std::string top = top_name;
    fs::create_directories(root.path / top / "s");
    walk_order.push_back(root.Join(top));
    walk_order.push_back(root.Join(top + kSeparator + "s"));
    for (int f = 0; f < files; ++f) {
      char name[16];
      std::snprintf(name, sizeof name, "f%02d", f);
      Touch(root.path / top / "s" / name);
      walk_order.push_back(root.Join(top + kSeparator + "s" + kSeparator + std::string(name)));
    }
  }
  return walk_order;
}

}  // namespace

TEST(WalkFolder, CollectsDepthFirstWithFullPaths) {
  ScratchFolder root;
  Touch(root.path / "x.bin");
  fs::create_directory(root.path / "y");
  Touch(root.path / "y" / "y.bin");
  Touch(root.path / "z.bin");
  const std::string s(1, kSeparator);
  EXPECT_EQ(Walk(root.path.string()), (std::vector<std::string>{root.Join("x.bin"), root.Join("y"),
                                                                  root.Join("y" + s + "y.bin"), root.Join("z.bin")}));
}

TEST(WalkFolder, KeepsTheFolderAsTypedAndAddsOneSeparator) {
  ScratchFolder root;
  Touch(root.path / "a.bin");
  const std::string plain = root.path.string();
  const std::string s(1, kSeparator);
  std::vector<std::pair<std::string, std::string>> cases = {
      {plain, plain + s + "a.bin"},
      {plain + s, plain + s + s + "a.bin"},
  };
#ifdef _WIN32
  std::string forward = plain;
  std::replace(forward.begin(), forward.end(), '\\', '/');
  cases.push_back({forward, forward + "\\a.bin"});
#endif
  for (const auto& [folder, path] : cases) {
    EXPECT_EQ(Walk(folder), std::vector<std::string>{path}) << folder;
  }
}

TEST(WalkFolder, NothingFromAnEmptyMissingOrFileFolder) {
  ScratchFolder root;
  fs::create_directory(root.path / "empty");
  Touch(root.path / "file.bin");
  const struct {
    std::string folder;
    bool enumerated;
  } cases[] = {{root.Join("empty"), true}, {root.Join("missing"), false}, {root.Join("file.bin"), false}};
  for (const auto& c : cases) {
    std::vector<FolderEntry> entries;
    uint32_t counter = 0;
    EXPECT_EQ(WalkFolder(c.folder, entries, counter), c.enumerated) << c.folder;
    EXPECT_TRUE(entries.empty()) << c.folder;
    EXPECT_EQ(counter, 0u) << c.folder;
  }
}

TEST(WalkFolder, DescendsIntoDotNamedFoldersAndKeepsHiddenFiles) {
  ScratchFolder root;
  const std::string s(1, kSeparator);
  std::vector<std::string> expected;
#ifndef _WIN32  // names ending in a dot do not exist on Windows
  fs::create_directory(root.path / "...");
  Touch(root.path / "..." / "b.bin");
  expected = {root.Join("..."), root.Join("..." + s + "b.bin")};
#endif
  fs::create_directory(root.path / ".cache");
  Touch(root.path / ".cache" / "a.bin");
  Touch(root.path / ".hidden");
  expected.insert(expected.end(), {root.Join(".cache"), root.Join(".cache" + s + "a.bin"), root.Join(".hidden")});
  EXPECT_EQ(Walk(root.path.string()), expected);
}

TEST(WalkFolder, CollectsExactlyTheBudget) {
  ScratchFolder root;
  const std::vector<std::string> all = MakeTree(root, 98);
  ASSERT_EQ(all.size(), 1000u);
  EXPECT_EQ(Walk(root.path.string()), all);
}

TEST(WalkFolder, StopsEveryLevelPastTheBudget) {
  ScratchFolder root;
  const std::vector<std::string> all = MakeTree(root, 98);
  Touch(root.path / "a9" / "s" / "f98");  // the 1001st entry, deep down
  Touch(root.path / "zz.bin");            // the 1002nd, back at the top
  EXPECT_EQ(Walk(root.path.string()), all);

  Touch(root.path / "a0" / "s" / "f98");  // now the first folder pushes f97 of a9 out
  std::vector<std::string> expected = all;
  expected.insert(expected.begin() + 100, root.Join(std::string("a0") + kSeparator + "s" + kSeparator + "f98"));
  expected.resize(1000);
  EXPECT_EQ(Walk(root.path.string()), expected);
}

TEST(WalkFolder, KeepsLongPathsWhole) {
  ScratchFolder root;
  const std::string part(60, 'p');
  fs::path deep = root.path;
  std::vector<std::string> expected;
  std::string path = root.path.string();
  for (int i = 0; i < 5; ++i) {
    deep /= part;
    path += kSeparator + part;
    expected.push_back(path);
  }
  std::error_code error;
  fs::create_directories(deep, error);
  if (error) GTEST_SKIP() << "this platform cannot make a path of " << path.size() << " characters";
  Touch(deep / "edid.bin");
  expected.push_back(path + kSeparator + "edid.bin");
  // Folders past MAX_PATH are enumerated too (the wide calls on Windows).
  const std::vector<std::string> names = Walk(root.path.string());
  EXPECT_EQ(names, expected);
  ASSERT_FALSE(names.empty());
  EXPECT_GT(names.back().size(), 259u);
}

#ifndef _WIN32
TEST(WalkFolder, LinkLoopEnds) {
  ScratchFolder root;
  Touch(root.path / "a.bin");
  fs::create_directory_symlink(root.path, root.path / "loop");
  const std::vector<std::string> names = Walk(root.path.string());
  ASSERT_GE(names.size(), 3u);
  EXPECT_LE(names.size(), 1000u);
  EXPECT_EQ(names[0], root.Join("a.bin"));
  EXPECT_EQ(names[1], root.Join("loop"));
  EXPECT_EQ(names[2], root.Join("loop/a.bin"));
}
#endif
