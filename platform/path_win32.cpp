#include "platform/path.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// "D:" alone, or after a \\?\ prefix: a drive without a folder.
bool EndsWithDrive(const std::string& path) { return path.size() >= 2 && path.back() == ':'; }

}  // namespace

bool EndsWithSeparator(const std::string& path) { return !path.empty() && IsSeparator(path.back()); }

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("/\\:");
  if (cut == std::string::npos) return ".";
  if (path[cut] == ':') return path.substr(0, cut + 1);
  // The root of a drive, or of the current drive, keeps its separator.
  if (cut == 0 || EndsWithDrive(path.substr(0, cut))) return path.substr(0, cut + 1);
  return path.substr(0, cut);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (EndsWithSeparator(folder) || (folder.size() == 2 && folder[1] == ':')) return folder + name;
  return folder + "\\" + name;
}
