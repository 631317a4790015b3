#include "control/control_choices.h"

#include <cstdint>
#include <sstream>

#include "host_attach/host_arguments.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/user_state.h"

namespace {

constexpr const char* kFileName = "control-choices.txt";
constexpr const char* kFirstLine = "velmorin-control choices 1";
constexpr int64_t kMaxSize = 4096;

const struct {
  LayoutWish wish;
  const char* word;
} kLayouts[] = {{LayoutWish::kKeep, "extend"}, {LayoutWish::kPrimary, "primary"}, {LayoutWish::kOnly, "only"}};

const char* YesNo(bool value) { return value ? "yes" : "no"; }

bool ReadYesNo(const std::string& word, bool* value) {
  if (word != "yes" && word != "no") return false;
  *value = word == "yes";
  return true;
}

std::string ChoicesPath() {
  const std::string folder = DisplayStateFolder();
  return folder.empty() ? std::string() : JoinPath(folder, kFileName);
}

}  // namespace

ControlChoices DefaultChoices() { return ControlChoices{"1920x1080x60", false, false, LayoutWish::kKeep}; }

std::string FormatChoices(const ControlChoices& c) {
  std::string layout;
  for (const auto& l : kLayouts) {
    if (l.wish == c.layout) layout = l.word;
  }
  return std::string(kFirstLine) + "\nmode " + c.mode + "\nhdr " + YesNo(c.hdr) + "\naudio " + YesNo(c.audio) +
         "\nlayout " + layout + "\n";
}

bool ParseChoices(const std::string& text, ControlChoices* choices) {
  std::istringstream lines(text);
  std::string line;
  const char* keys[] = {"mode ", "hdr ", "audio ", "layout "};
  std::string values[4];
  if (!std::getline(lines, line) || line != kFirstLine) return false;
  for (int i = 0; i < 4; ++i) {
    const std::string key = keys[i];
    if (!std::getline(lines, line) || line.compare(0, key.size(), key) != 0) return false;
    values[i] = line.substr(key.size());
  }
  // Whole: every line ended, nothing after the last.
  if (text.empty() || text.back() != '\n' || std::getline(lines, line)) return false;
  ControlChoices read{};
  DisplayMode mode{};
  if (!ParseModeText(values[0].c_str(), mode).empty()) return false;
  read.mode = values[0];
  if (!ReadYesNo(values[1], &read.hdr) || !ReadYesNo(values[2], &read.audio)) return false;
  bool known = false;
  for (const auto& l : kLayouts) {
    if (values[3] != l.word) continue;
    read.layout = l.wish;
    known = true;
  }
  if (!known) return false;
  *choices = read;
  return true;
}

ControlChoices LoadChoices() {
  ControlChoices choices = DefaultChoices();
  const std::string path = ChoicesPath();
  std::string text;
  if (!path.empty() && ReadSmallFile(path.c_str(), kMaxSize, &text) == SmallFileRead::kRead) {
    ParseChoices(text, &choices);
  }
  return choices;
}

bool SaveChoices(const ControlChoices& choices) {
  const std::string path = ChoicesPath();
  if (path.empty() || !MakeFolders(DisplayStateFolder().c_str())) return false;
  const std::string text = FormatChoices(choices);
  return WriteWholeFile(path.c_str(), reinterpret_cast<const uint8_t*>(text.data()), text.size(), true).result ==
         WholeWriteResult::kWritten;
}
