#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string JoinName(const std::string& folder) { return JoinPath(folder, "x.bin"); }
std::string EndsInSeparator(const std::string& path) { return EndsWithSeparator(path) ? "yes" : "no"; }

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

}  // namespace

TEST(PathSpelling, KeepsRootsAndDrivesAndOneSeparator) {
  // One row per spelling and question, with what each platform answers.
  const struct {
    std::string (*ask)(const std::string&);
    std::string path;
    std::string posix;
    std::string windows;
  } rows[] = {
      {FolderOf, "x.bin", ".", "."},
      {FolderOf, "/x.bin", "/", "/"},
      {FolderOf, "edids\\x.bin", ".", "edids"},
      {FolderOf, "C:\\x.bin", ".", "C:\\"},
      {FolderOf, "D:x.bin", ".", "D:"},  // drive D's current folder, not its root
      {FolderOf, "//?/Z:/t.", "//?/Z:", "//?/Z:/"},
      {JoinName, "edids", "edids/x.bin", "edids\\x.bin"},
      {JoinName, "edids/", "edids/x.bin", "edids/x.bin"},
      {JoinName, "D:", "D:/x.bin", "D:x.bin"},
      {JoinName, "D:\\", "D:\\/x.bin", "D:\\x.bin"},
      {EndsInSeparator, "edids/", "yes", "yes"},
      {EndsInSeparator, "edids\\", "no", "yes"},
      {EndsInSeparator, "edids", "no", "no"},
      {EndsInSeparator, "", "no", "no"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.ask(row.path), kWindows ? row.windows : row.posix) << row.path;
}
