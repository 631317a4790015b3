#include "desk/saved_desk.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "layout/arrange.h"
#include "layout/display_list.h"
#include "layout/saved_layout.h"
#include "platform/file.h"
#include "platform/folder.h"
#include "platform/path.h"
#include "platform/user_state.h"

namespace {

constexpr const char* kFileName = "saved-layout.txt";
constexpr const char* kAsidePrefix = "saved-layout-";
constexpr const char* kAsideSuffix = ".txt";
constexpr size_t kAsideKept = 5;
// Far beyond any desk; a larger file is not one of ours.
constexpr int64_t kMaxSavedSize = 1 << 20;
// What is set aside is copied whole; anything larger stays where it is.
constexpr int64_t kMaxCopiedSize = 64 << 20;

bool IsAsideName(const std::string& name) {
  const std::string prefix = kAsidePrefix;
  const std::string suffix = kAsideSuffix;
  return name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Deletes all but the newest set-aside desks; their names sort by time.
void KeepNewestAside(const std::string& folder) {
  std::vector<std::string> names;
  FolderEntry entry{};
  FolderScan* scan = StartFolderScan(folder, &entry);
  for (bool more = scan != nullptr; more; more = NextFolderEntry(scan, &entry)) {
    if ((entry.attrib & kSubfolderAttribute) == 0 && IsAsideName(entry.name)) names.push_back(entry.name);
  }
  if (scan != nullptr) EndFolderScan(scan);
  std::sort(names.begin(), names.end());
  for (size_t i = 0; i + kAsideKept < names.size(); ++i) RemoveFile(JoinPath(folder, names[i]).c_str());
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::string text;
  return ReadSmallFile(from.c_str(), kMaxCopiedSize, &text) == SmallFileRead::kRead &&
         WriteWholeFile(to.c_str(), reinterpret_cast<const uint8_t*>(text.data()), text.size(), false).result ==
             WholeWriteResult::kWritten;
}

}  // namespace

std::string SavedDeskPath() {
  const std::string folder = DisplayStateFolder();
  return folder.empty() ? std::string() : JoinPath(folder, kFileName);
}

DeskSave SaveDesk(const DisplayConfig& config) {
  const std::string path = SavedDeskPath();
  if (path.empty() || !MakeFolders(DisplayStateFolder().c_str())) return DeskSave::kFailed;
  const std::vector<DisplayRecord> records = ListDisplays(config);
  bool users = false;
  for (const DisplayRecord& r : records) users = users || (r.active && !IsOurs(r));
  if (!users) return DeskSave::kOursOnly;
  const std::string text = FormatSavedLayout(ActiveLayout(config), ComputerName());
  const WholeWrite written =
      WriteWholeFile(path.c_str(), reinterpret_cast<const uint8_t*>(text.data()), text.size(), true);
  return written.result == WholeWriteResult::kWritten ? DeskSave::kSaved : DeskSave::kFailed;
}

DeskRead ReadSavedDesk(DisplayConfig* layout, std::string* problem) {
  const std::string path = SavedDeskPath();
  if (path.empty() || !PathExists(path.c_str())) return DeskRead::kNone;
  std::string text;
  switch (ReadSmallFile(path.c_str(), kMaxSavedSize, &text)) {
    case SmallFileRead::kRead:
      *problem = ParseSavedLayout(text, ComputerName(), layout);
      break;
    case SmallFileRead::kCannotOpen:
      *problem = "it cannot be opened";
      break;
    case SmallFileRead::kTooLarge:
      *problem = "it is larger than any saved layout";
      break;
    case SmallFileRead::kShort:
      *problem = "it could not be read whole";
      break;
  }
  return problem->empty() ? DeskRead::kRead : DeskRead::kUnreadable;
}

std::string AsideName(int64_t unix_seconds) {
  using namespace std::chrono;
  const sys_seconds time{seconds{unix_seconds}};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  char name[64];
  std::snprintf(name, sizeof name, "%s%04d%02u%02uT%02d%02d%02dZ%s", kAsidePrefix, static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), kAsideSuffix);
  return name;
}

std::string SetSavedDeskAside() {
  const std::string path = SavedDeskPath();
  const std::string folder = DisplayStateFolder();
  if (path.empty()) return std::string();
  const int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  // Two in one second: the later one waits for a free name a second on.
  for (int64_t second = now; second < now + 60; ++second) {
    std::string aside = JoinPath(folder, AsideName(second));
    if (PathExists(aside.c_str())) continue;
    // Copied whole under its new name before the old one goes: never lost.
    if (!CopyFile(path, aside)) return std::string();
    if (!RemoveFile(path.c_str())) {
      RemoveFile(aside.c_str());
      return std::string();
    }
    KeepNewestAside(folder);
    return aside;
  }
  return std::string();
}

bool ForgetSavedDesk() {
  const std::string path = SavedDeskPath();
  return !path.empty() && RemoveFile(path.c_str());
}
