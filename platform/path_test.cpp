#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// One row per spelling, with what each platform makes of it.
struct PathRow {
  std::string path;
  std::string posix;
  std::string windows;
};

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

const std::string& ForThisPlatform(const PathRow& row) { return kWindows ? row.windows : row.posix; }

}  // namespace

TEST(FolderOf, KeepsRootsAndDrives) {
  const PathRow rows[] = {
      {"x.bin", ".", "."},
      {"/x.bin", "/", "/"},
      {"edids\\x.bin", ".", "edids"},
      {"C:\\x.bin", ".", "C:\\"},
      {"D:x.bin", ".", "D:"},  // drive D's current folder, not its root
      {"//?/Z:/t.", "//?/Z:", "//?/Z:/"},
  };
  for (const PathRow& row : rows) EXPECT_EQ(FolderOf(row.path), ForThisPlatform(row)) << row.path;
}

TEST(JoinPath, OneSeparatorAndDrivesKeptRelative) {
  const PathRow rows[] = {
      {"edids", "edids/x.bin", "edids\\x.bin"},
      {"edids/", "edids/x.bin", "edids/x.bin"},
      {"D:", "D:/x.bin", "D:x.bin"},
      {"D:\\", "D:\\/x.bin", "D:\\x.bin"},
  };
  for (const PathRow& row : rows) EXPECT_EQ(JoinPath(row.path, "x.bin"), ForThisPlatform(row)) << row.path;
}

TEST(EndsWithSeparator, BackslashOnlyOnWindows) {
  const PathRow rows[] = {{"edids/", "yes", "yes"}, {"edids\\", "no", "yes"}, {"edids", "no", "no"}, {"", "no", "no"}};
  for (const PathRow& row : rows) EXPECT_EQ(EndsWithSeparator(row.path), ForThisPlatform(row) == "yes") << row.path;
}
