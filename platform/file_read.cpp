#include <cstdio>
#include <string>

#include "platform/file.h"

SmallFileRead ReadSmallFile(const char* path, int64_t max_size, std::string* text) {
  int64_t size = 0;
  std::FILE* file = OpenRegularFileForReading(path, &size);
  if (file == nullptr) return SmallFileRead::kCannotOpen;
  SmallFileRead result = SmallFileRead::kTooLarge;
  if (size <= max_size) {
    std::string read(static_cast<size_t>(size), '\0');
    result = std::fread(read.data(), 1, read.size(), file) == read.size() ? SmallFileRead::kRead : SmallFileRead::kShort;
    if (result == SmallFileRead::kRead) *text = std::move(read);
  }
  std::fclose(file);
  return result;
}
