// Fuzzes the loader with arbitrary file contents and sizes. The first input
// byte picks the shape of the file, so that both forms are met often: the
// rest as it is (almost always text form), or cut or padded with zeros to a
// whole number of 128-byte blocks (binary form); and whether an older copy
// is already there. Every load is checked
// against an independent account of what it must give.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "edid/load.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint8_t kUntouched = 0xA5;

char work_folder[] = "/tmp/velmorin-load-fuzz-XXXXXX";

std::string InputPath() { return std::string(work_folder) + "/edid.txt"; }

void RemoveWorkFolder() {
  unlink(InputPath().c_str());
  unlink((InputPath() + ".bin").c_str());
  rmdir(work_folder);
}

// One folder per fuzzing process for the input file and its copy, removed
// again when the process ends normally.
const std::string& InputFile() {
  static const std::string path = [] {
    if (mkdtemp(work_folder) == nullptr) std::abort();
    std::atexit(RemoveWorkFolder);
    return InputPath();
  }();
  return path;
}

std::vector<uint8_t> ShapeFile(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  const uint8_t shape = data[0] % 3;
  std::vector<uint8_t> file(data + 1, data + size);
  if (shape == 1 && !file.empty()) file.resize(file.size() / kEdidBlockSize * kEdidBlockSize);
  if (shape == 2) file.resize((file.size() / kEdidBlockSize + 1) * kEdidBlockSize, 0);
  return file;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  uint8_t buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  std::fclose(file);
  return true;
}

bool IsWhiteSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int Nibble(uint8_t character) {
  // NOLINTNEXTLINE(bugprone-signed-char-misuse,cert-str34-c): the text form reads characters as signed 8-bit values.
  const int c = static_cast<int8_t>(character);
  return c <= 0x39 ? c - 0x30 : (c & 0xDF) - 0x37;
}

// What a load of `file` must give: the length and the image bytes, and for
// the text form whether a copy is written.
struct Expected {
  int32_t length = 0;
  std::vector<uint8_t> bytes;
  bool copy = false;
};

Expected ExpectLoad(const std::vector<uint8_t>& file) {
  Expected expected;
  const size_t size = file.size();
  if (size >= 1 && size % kEdidBlockSize == 0) {
    const size_t taken = size < kEdidImageCapacity ? size : kEdidImageCapacity;
    expected.bytes.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(taken));
    bool empty_second_block = size == 2 * kEdidBlockSize;
    for (size_t i = kEdidBlockSize; empty_second_block && i < size; ++i) empty_second_block = file[i] == 0;
    expected.length = empty_second_block ? kEdidBlockSize : static_cast<int32_t>(taken);
    expected.bytes.resize(static_cast<size_t>(expected.length));
    return expected;
  }
  std::vector<uint8_t> kept;
  for (size_t i = 0; i < size && kept.size() < 2048; ++i) {
    if (!IsWhiteSpace(file[i])) kept.push_back(file[i]);
  }
  const size_t count = kept.size() / 2;
  if (count % kEdidBlockSize != 0 || count == 0) return expected;
  for (size_t k = 0; k < count; ++k) {
    expected.bytes.push_back(static_cast<uint8_t>(16 * Nibble(kept[2 * k]) + Nibble(kept[2 * k + 1])));
  }
  expected.length = static_cast<int32_t>(count);
  expected.copy = true;
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = InputFile();
  const std::string copy_path = path + ".bin";
  const std::vector<uint8_t> file = ShapeFile(data, size);
  if (!WriteFile(path, file)) std::abort();
  // Bit 2 of the first byte leaves a longer copy from an earlier load in
  // place: a new copy replaces it whole, a load without a copy leaves it.
  const std::vector<uint8_t> stale(1500, 0xEE);
  const bool has_stale_copy = size > 0 && (data[0] & 4) != 0;
  if (has_stale_copy) {
    if (!WriteFile(copy_path, stale)) std::abort();
  } else {
    unlink(copy_path.c_str());
  }

  EdidImage image;
  std::memset(image.bytes, kUntouched, sizeof image.bytes);
  image.length = -1;
  const int32_t length = LoadEdidFile(path.c_str(), image, NullConsole());

  const Expected expected = ExpectLoad(file);
  FUZZ_EXPECT(length == image.length);
  FUZZ_EXPECT(length == expected.length);
  FUZZ_EXPECT(length == 0 || (length % kEdidBlockSize == 0 && length <= kEdidImageCapacity));
  if (!expected.bytes.empty()) {
    FUZZ_EXPECT(std::memcmp(image.bytes, expected.bytes.data(), expected.bytes.size()) == 0);
  }
  // Nothing is written past what was read: at most the 256 bytes of the
  // binary form's empty second block, never beyond the file's own size.
  const size_t written_end = file.size() % kEdidBlockSize == 0 && !file.empty() ? file.size() : expected.bytes.size();
  for (size_t i = written_end; i < sizeof image.bytes; ++i) FUZZ_EXPECT(image.bytes[i] == kUntouched);

  std::vector<uint8_t> copy;
  const bool has_copy = ReadFile(copy_path, &copy);
  FUZZ_EXPECT(has_copy == (expected.copy || has_stale_copy));
  if (has_copy) FUZZ_EXPECT(copy == (expected.copy ? expected.bytes : stale));
  return 0;
}
