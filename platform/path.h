// How a path is spelled on this platform: its separators, its folder, a name
// inside a folder. Text only; nothing here looks at the disk.
#pragma once

#include <string>

// True when `path` ends in a separator: '/', and on Windows '\' too.
bool EndsWithSeparator(const std::string& path);

// The folder part of `path`, "." when it has none. A root keeps its
// separator ("/x" gives "/", "C:\x" gives "C:\"); on Windows "D:x" gives
// "D:", the current folder of drive D.
std::string FolderOf(const std::string& path);

// `name` inside `folder`: a separator between them unless `folder` ends in
// one, or on Windows is a bare drive ("D:"), which means that drive's
// current folder.
std::string JoinPath(const std::string& folder, const std::string& name);
