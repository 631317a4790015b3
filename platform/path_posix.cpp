#include "platform/path.h"

bool EndsWithSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  if (cut == 0) return "/";
  return path.substr(0, cut);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return EndsWithSeparator(folder) ? folder + name : folder + "/" + name;
}
