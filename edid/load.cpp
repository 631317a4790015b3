#include "edid/load.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "edid/hex_text.h"
#include "platform/file.h"

namespace {

constexpr int64_t kEmptySecondBlockSize = 2 * kEdidBlockSize;

bool IsBinaryFormSize(int64_t size) { return size >= 1 && size % kEdidBlockSize == 0; }

bool IsZero(const uint8_t* bytes, int32_t size) {
  for (int32_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// Binary form: the bytes themselves. Larger files give their first 1024 bytes.
int32_t ReadBinaryForm(std::FILE* file, int64_t size, EdidImage& image, bool* read_failed) {
  const int32_t wanted = size > kEdidImageCapacity ? kEdidImageCapacity : static_cast<int32_t>(size);
  const size_t got = std::fread(image.bytes, 1, static_cast<size_t>(wanted), file);
  std::fclose(file);
  if (got != static_cast<size_t>(wanted)) {
    *read_failed = true;
    return 0;
  }
  if (size == kEmptySecondBlockSize && IsZero(image.bytes + kEdidBlockSize, kEdidBlockSize)) {
    return kEdidBlockSize;
  }
  return wanted;
}

// Keeps up to 2048 characters that are not white space. Returns how many,
// or -1 when reading failed.
int32_t ReadKeptCharacters(std::FILE* file, char* kept) {
  int32_t count = 0;
  int character = 0;
  while (count < kMaxKeptHexCharacters && (character = std::getc(file)) != EOF) {
    if (!IsHexTextWhiteSpace(character)) kept[count++] = static_cast<char>(character);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? -1 : count;
}

void WriteBinaryCopy(const char* path, const uint8_t* bytes, int32_t size, const Console& console) {
  const std::string copy_path = std::string(path) + ".bin";
  if (!ReplaceFileContents(copy_path.c_str(), bytes, static_cast<size_t>(size))) {
    std::fprintf(console.err, "Velmorin: could not write %s\n", copy_path.c_str());
  }
}

// Text form: hexadecimal digits, two per byte; the copy is written beside it.
int32_t ReadTextForm(std::FILE* file, const char* path, EdidImage& image, const Console& console,
                     bool* read_failed) {
  char kept[kMaxKeptHexCharacters];
  const int32_t kept_count = ReadKeptCharacters(file, kept);
  if (kept_count < 0) {
    *read_failed = true;
    return 0;
  }
  const int32_t byte_count = kept_count / 2;
  if (byte_count % kEdidBlockSize != 0) {
    std::fprintf(console.out, "The EDID Size: %d is not supported.\n", byte_count);
    std::fflush(console.out);
    return 0;
  }
  std::fprintf(console.out, "The EDID size is %d bytes. \n", byte_count);
  std::fflush(console.out);
  // An empty copy would only be listed and copied again on every later run.
  if (byte_count == 0) return 0;
  ConvertHexText(kept, byte_count, image.bytes);
  WriteBinaryCopy(path, image.bytes, byte_count, console);
  return byte_count;
}

}  // namespace

int32_t LoadEdidFile(const char* path, EdidImage& image, const Console& console, bool* unreadable) {
  image.length = 0;
  bool read_failed = false;
  int64_t size = 0;
  std::FILE* file = OpenRegularFileForReading(path, &size);
  if (file == nullptr || size > std::numeric_limits<int32_t>::max()) {
    if (file != nullptr) std::fclose(file);
    read_failed = true;
  } else {
    image.length = IsBinaryFormSize(size) ? ReadBinaryForm(file, size, image, &read_failed)
                                          : ReadTextForm(file, path, image, console, &read_failed);
  }
  if (unreadable != nullptr) *unreadable = read_failed;
  return image.length;
}
