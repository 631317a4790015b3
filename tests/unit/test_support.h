// Shared helpers for the unit tests: console capture, scratch folders and a
// small EDID builder. Header-only, so the test binary needs no extra sources.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "edid/edid_image.h"
#include "platform/console.h"

namespace test_support {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

inline std::string ReadAll(std::FILE* file) {
  std::fflush(file);
  std::fseek(file, 0, SEEK_SET);
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fseek(file, 0, SEEK_END);
  return text;
}

// Both console streams backed by temporary files (binary mode everywhere, so
// the bytes read back are exactly the bytes written).
struct CapturedConsole {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CapturedConsole() = default;
  CapturedConsole(const CapturedConsole&) = delete;
  CapturedConsole& operator=(const CapturedConsole&) = delete;
  ~CapturedConsole() {
    std::fclose(out);
    std::fclose(err);
  }
  Console console() const { return Console{out, err}; }
  std::string Out() const { return ReadAll(out); }
  std::string Err() const { return ReadAll(err); }
};

// Sets an environment variable of the process; an empty value unsets it.
inline void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
#endif
}

// A fresh folder under the system's temporary folder, removed afterwards.
struct ScratchFolder {
  std::filesystem::path path;
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path = std::filesystem::temp_directory_path() /
           ("velmorin_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(stamp));
    std::filesystem::create_directories(path);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  // The folder's path joined with `name` by the platform's separator.
  std::string Join(const std::string& name) const { return path.string() + kSeparator + name; }
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// ---- EDID builder --------------------------------------------------------

using Bytes = std::vector<uint8_t>;

// An 18-byte detailed timing; bytes 8 to 17 carry ordinary sync values.
inline Bytes Dtd(int clock_10khz, int h_active, int h_blank, int v_active, int v_blank) {
  return Bytes{static_cast<uint8_t>(clock_10khz & 0xFF),
               static_cast<uint8_t>(clock_10khz >> 8),
               static_cast<uint8_t>(h_active & 0xFF),
               static_cast<uint8_t>(h_blank & 0xFF),
               static_cast<uint8_t>(((h_active >> 8) << 4) | (h_blank >> 8)),
               static_cast<uint8_t>(v_active & 0xFF),
               static_cast<uint8_t>(v_blank & 0xFF),
               static_cast<uint8_t>(((v_active >> 8) << 4) | (v_blank >> 8)),
               88, 44, 0x45, 0x00, 0x10, 0x09, 0x21, 0x00, 0x00, 0x1E};
}

// 1920x1080, 148.5 MHz, totals 2200 x 1125: 60 Hz.
inline Bytes Dtd1080() { return Dtd(14850, 1920, 280, 1080, 45); }
// 1280x720, 74.25 MHz, totals 1650 x 750: 60 Hz.
inline Bytes Dtd720() { return Dtd(7425, 1280, 370, 720, 30); }

// Writes `bytes` from `offset` on; what would pass the end of `image` is
// dropped. (Filled by index: GCC 12 misreads vector inserts and resizes here
// as out-of-bounds copies.)
inline void Put(Bytes& image, size_t offset, const Bytes& bytes) {
  for (size_t i = 0; i < bytes.size() && offset + i < image.size(); ++i) image[offset + i] = bytes[i];
}

inline Bytes DisplayDescriptor(uint8_t tag, const Bytes& body) {
  Bytes descriptor(18, 0x20);
  descriptor[0] = descriptor[1] = descriptor[2] = descriptor[4] = 0;
  descriptor[3] = tag;
  for (size_t i = 0; i < body.size() && i < 13; ++i) descriptor[5 + i] = body[i];
  return descriptor;
}

inline Bytes NameDescriptor(const std::string& text) {
  Bytes body(text.begin(), text.end());
  if (body.size() < 13) body.push_back(0x0A);
  return DisplayDescriptor(0xFC, body);
}

inline Bytes RangeDescriptor(uint8_t v_min, uint8_t v_max, uint8_t h_min, uint8_t h_max, uint8_t clock_10mhz,
                             uint8_t formula) {
  return DisplayDescriptor(0xFD, {v_min, v_max, h_min, h_max, clock_10mhz, formula, 0x0A});
}

// Byte 127 of `block` made so that the block sums to 0.
inline void FixChecksum(Bytes& image, int block) {
  const size_t start = static_cast<size_t>(block) * 128;
  unsigned sum = 0;
  for (size_t i = start; i < start + 127; ++i) sum += image[i];
  image[start + 127] = static_cast<uint8_t>(256 - sum % 256);
}

// Base block: header, version 1 revision 3, Active off and Standby set, the
// four given descriptors (missing ones all zero), `extensions` in byte 126.
inline Bytes BaseBlock(const std::vector<Bytes>& descriptors, uint8_t extensions = 0) {
  Bytes block(128, 0);
  Put(block, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  Put(block, 8, {0x3D, 0x2E, 0x34, 0x12});
  block[18] = 1;
  block[19] = 3;
  block[24] = 0xA0;
  for (size_t i = 0; i < descriptors.size() && i < 4; ++i) Put(block, 54 + 18 * i, descriptors[i]);
  block[126] = extensions;
  FixChecksum(block, 0);
  return block;
}

// CEA-861 block: tag 02, revision 3, `flags` in byte 3, the data blocks from
// byte 4, the descriptors right after them (byte 2 pointing there).
inline Bytes CeaBlock(const Bytes& data_blocks, const std::vector<Bytes>& descriptors, uint8_t flags = 0) {
  Bytes block(128, 0);
  block[0] = 0x02;
  block[1] = 0x03;
  block[2] = static_cast<uint8_t>(4 + data_blocks.size());
  block[3] = flags;
  Put(block, 4, data_blocks);
  size_t offset = block[2];
  for (const Bytes& descriptor : descriptors) {
    Put(block, offset, descriptor);
    offset += 18;
  }
  FixChecksum(block, 0);
  return block;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// An image holding `bytes`, its length their count; the rest of the storage
// holds `fill` so that reads past the end would show.
inline EdidImage MakeImage(const Bytes& bytes, uint8_t fill = 0) {
  EdidImage image;
  std::fill(std::begin(image.bytes), std::end(image.bytes), fill);
  std::copy(bytes.begin(), bytes.end(), image.bytes);
  image.length = static_cast<int32_t>(bytes.size());
  return image;
}

}  // namespace test_support
