#include "display/desk_file.h"

#include <cstdint>
#include <cstdio>

#include "layout/arrange.h"
#include "layout/saved_layout.h"
#include "platform/file.h"
#include "platform/path.h"

namespace {

constexpr const char* kFileName = "saved-layout.txt";
// Far beyond any desk; a larger file is not one of ours.
constexpr int64_t kMaxSavedSize = 1 << 20;

}  // namespace

std::string SavedDeskPath() {
  const std::string folder = DisplayStateFolder();
  return folder.empty() ? std::string() : JoinPath(folder, kFileName);
}

DeskSave SaveDeskOnce(const DisplayConfig& config) {
  const std::string path = SavedDeskPath();
  if (path.empty()) return DeskSave::kFailed;
  if (PathExists(path.c_str())) return DeskSave::kKept;
  if (!MakeFolders(DisplayStateFolder().c_str())) return DeskSave::kFailed;
  const std::string text = FormatSavedLayout(ActiveLayout(config), ComputerName());
  switch (WriteWholeFile(path.c_str(), reinterpret_cast<const uint8_t*>(text.data()), text.size(), false).result) {
    case WholeWriteResult::kWritten:
      return DeskSave::kSaved;
    case WholeWriteResult::kExists:
      return DeskSave::kKept;
    default:
      return DeskSave::kFailed;
  }
}

DeskRead ReadSavedDesk(DisplayConfig* layout, std::string* problem) {
  const std::string path = SavedDeskPath();
  if (path.empty() || !PathExists(path.c_str())) return DeskRead::kNone;
  int64_t size = 0;
  std::FILE* file = OpenRegularFileForReading(path.c_str(), &size);
  if (file == nullptr) {
    *problem = "it cannot be opened";
    return DeskRead::kUnreadable;
  }
  std::string text;
  if (size > kMaxSavedSize) {
    *problem = "it is larger than any saved layout";
  } else {
    text.resize(static_cast<size_t>(size));
    if (std::fread(text.data(), 1, text.size(), file) != text.size()) *problem = "it could not be read whole";
  }
  std::fclose(file);
  if (problem->empty()) *problem = ParseSavedLayout(text, ComputerName(), layout);
  return problem->empty() ? DeskRead::kRead : DeskRead::kUnreadable;
}

bool ForgetSavedDesk() {
  const std::string path = SavedDeskPath();
  return !path.empty() && RemoveFile(path.c_str());
}
