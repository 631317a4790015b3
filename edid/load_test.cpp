#include "edid/load.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "tests/unit/test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace test_support;
namespace fs = std::filesystem;

namespace {

// Bytes that use every hexadecimal digit in both positions.
Bytes Pattern(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

// The bytes as hexadecimal digits: `per_line` digits, then `line_end`.
std::string Hex(const Bytes& bytes, size_t per_line, const std::string& line_end, bool lower = false) {
  static const char kUpper[] = "0123456789ABCDEF";
  static const char kLower[] = "0123456789abcdef";
  const char* digits = lower ? kLower : kUpper;
  std::string text;
  size_t in_line = 0;
  for (uint8_t byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
    in_line += 2;
    if (in_line == per_line) {
      text += line_end;
      in_line = 0;
    }
  }
  return text;
}

std::string Pairs(const Bytes& bytes, const std::string& separator) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) text += (i ? separator : "") + Hex({bytes[i]}, 0, "");
  return text;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes WithZeros(Bytes bytes, size_t count) {
  bytes.resize(bytes.size() + count, 0);
  return bytes;
}

struct LoadResult {
  int32_t length;
  std::string out;
  std::string err;
  EdidImage image;
  bool unreadable;
};

LoadResult Load(const std::string& path) {
  CapturedConsole capture;
  LoadResult result{};
  std::fill(std::begin(result.image.bytes), std::end(result.image.bytes), 0xAA);
  result.unreadable = true;  // the loader must say either way
  result.length = LoadEdidFile(path.c_str(), result.image, capture.console(), &result.unreadable);
  result.out = capture.Out();
  result.err = capture.Err();
  return result;
}

Bytes Prefix(const EdidImage& image, size_t count) { return Bytes(image.bytes, image.bytes + count); }

}  // namespace

TEST(LoadEdidFile, BinaryFormTakesTheSizeAndPrintsNothing) {
  Bytes second_block_set_at_128 = WithZeros(Pattern(128), 128);
  second_block_set_at_128[128] = 1;
  const struct {
    const char* name;
    Bytes content;
    int32_t length;
  } cases[] = {
      {"one block", Pattern(128), 128},
      {"empty second block", WithZeros(Pattern(128), 128), 128},
      {"second block set at 255", [] { Bytes b = WithZeros(Pattern(128), 128); b[255] = 1; return b; }(), 256},
      {"second block set at 128", second_block_set_at_128, 256},
      {"three blocks", Pattern(384), 384},
      {"three blocks, the second all zero", WithZeros(Pattern(128), 128) + Pattern(128), 384},
      {"eight blocks", Pattern(1024), 1024},
      {"nine blocks give the first eight", Pattern(1152), 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    const std::string path = folder.Join("edid.bin");
    WriteFile(path, c.content);
    const LoadResult result = Load(path);
    EXPECT_EQ(result.length, c.length);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(result.unreadable);
    EXPECT_EQ(Prefix(result.image, static_cast<size_t>(c.length)), Bytes(c.content.begin(), c.content.begin() + c.length));
    if (c.content.size() < 1024) {
      EXPECT_EQ(result.image.bytes[c.content.size()], 0xAA);
    }
    EXPECT_FALSE(fs::exists(path + ".bin"));
  }
}

TEST(LoadEdidFile, TextFormConvertsDigitsAndWritesTheCopy) {
  const Bytes one = Pattern(128);
  std::string odd_characters = "0G" "G0" "0x" "3C" "3c" "fF" "0\x80" "\xFF\xFF" "1\xFF" "0" + std::string(1, '\0') + "0\xA0";
  odd_characters += std::string(256 - odd_characters.size(), '0') + "\n";
  const Bytes odd_bytes = WithZeros({0x10, 0x00, 0x21, 0x3C, 0x3C, 0xFF, 0x50, 0xBF, 0xDF, 0xD0, 0x70}, 117);
  std::string split_pairs;
  for (uint8_t byte : one) {
    const std::string pair = Hex({byte}, 0, "", true);
    split_pairs += {pair[0], '\t', pair[1], '\n'};
  }
  const struct {
    const char* name;
    std::string text;
    int32_t length;
    Bytes bytes;
  } cases[] = {
      {"8 lines of 32 digits, LF", Hex(one, 32, "\n"), 128, one},
      {"8 lines of 32 digits, CR LF", Hex(one, 32, "\r\n"), 128, one},
      {"pairs separated by blanks", Pairs(one, " "), 128, one},
      {"lower case, every pair split by a tab", split_pairs + "\r\n", 128, one},
      {"all six white-space characters", Pairs(one, " \t\v\f\r\n"), 128, one},
      {"odd digit count drops the last digit", Hex(one, 0, "") + "7\n", 128, one},
      {"empty second block stays", Hex(WithZeros(one, 128), 32, "\r\n"), 256, WithZeros(one, 128)},
      {"2100 digits keep the first 2048", Hex(Pattern(1024), 0, "") + std::string(52, 'F'), 1024, Pattern(1024)},
      {"any character converts", odd_characters, 128, odd_bytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.text.size() % 128, 0u);
    ScratchFolder folder;
    const std::string path = folder.Join("monitor1.txt");
    WriteFile(path, c.text);
    const LoadResult result = Load(path);
    EXPECT_EQ(result.length, c.length);
    EXPECT_EQ(result.out, "The EDID size is " + std::to_string(c.length) + " bytes. \n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(Prefix(result.image, c.bytes.size()), c.bytes);
    EXPECT_EQ(ReadFile(path + ".bin"), c.bytes);
  }
}

TEST(LoadEdidFile, TextFormWithoutWholeBlocksLoadsNothing) {
  std::string prefixed;
  for (uint8_t byte : Pattern(128)) prefixed += (prefixed.empty() ? "0x" : ", 0x") + Hex({byte}, 0, "");
  const struct {
    const char* name;
    std::string text;
    std::string out;
  } cases[] = {
      {"100 digits", std::string(100, '1'), "The EDID Size: 50 is not supported.\n"},
      {"0x prefixes and commas count", prefixed, "The EDID Size: 319 is not supported.\n"},
      {"empty file", "", "The EDID size is 0 bytes. \n"},
      {"white space only", " \t\r\n\v\f", "The EDID size is 0 bytes. \n"},
      {"one lone digit", "A", "The EDID size is 0 bytes. \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    const std::string path = folder.Join("a.txt");
    WriteFile(path, c.text);
    const LoadResult result = Load(path);
    EXPECT_EQ(result.length, 0);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(result.unreadable);  // read, and explained by the size line
    EXPECT_EQ(Prefix(result.image, 1024), Bytes(1024, 0xAA));
    EXPECT_FALSE(fs::exists(path + ".bin"));
  }
}

TEST(LoadEdidFile, DigitsWithoutWhiteSpaceInWholeBlocksAreBinaryForm) {
  ScratchFolder folder;
  const std::string path = folder.Join("a.txt");
  const std::string digits = Hex(Pattern(128), 0, "");
  WriteFile(path, digits);
  const LoadResult result = Load(path);
  EXPECT_EQ(result.length, 256);
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(result.unreadable);
  EXPECT_EQ(Prefix(result.image, 256), Bytes(digits.begin(), digits.end()));
  EXPECT_FALSE(fs::exists(path + ".bin"));
}

TEST(LoadEdidFile, CopyReplacesAnOlderOneAndLoadsBackAsBinary) {
  ScratchFolder folder;
  const std::string path = folder.Join("a.txt");
  WriteFile(path, Hex(Pattern(128), 32, "\n"));
  WriteFile(path + ".bin", Bytes(1000, 0xEE));
  EXPECT_EQ(Load(path).length, 128);
  EXPECT_EQ(ReadFile(path + ".bin"), Pattern(128));
  const LoadResult again = Load(path + ".bin");
  EXPECT_EQ(again.length, 128);
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(Prefix(again.image, 128), Pattern(128));
}

TEST(LoadEdidFile, CopyThatCannotBeWrittenIsNamedOnStandardError) {
  ScratchFolder folder;
  const std::string path = folder.Join("a.txt");
  WriteFile(path, Hex(Pattern(128), 32, "\n"));
  fs::create_directory(path + ".bin");  // a folder where the copy should go
  const LoadResult result = Load(path);
  EXPECT_EQ(result.length, 128);
  EXPECT_EQ(result.out, "The EDID size is 128 bytes. \n");
  EXPECT_EQ(Prefix(result.image, 128), Pattern(128));
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
  EXPECT_EQ(result.err.back(), '\n');
  EXPECT_NE(result.err.find(path + ".bin"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::is_directory(path + ".bin"));
}

TEST(LoadEdidFile, FolderOrMissingPathLoadsNothingSilentlyAndSaysUnreadable) {
  ScratchFolder folder;
  fs::create_directory(folder.Join("sub.bin"));
  for (const std::string& path : {folder.Join("sub.bin"), folder.Join("missing.bin"), folder.path.string()}) {
    SCOPED_TRACE(path);
    const LoadResult result = Load(path);
    EXPECT_EQ(result.length, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.unreadable);
    EXPECT_FALSE(fs::exists(path + ".bin"));
  }
}

TEST(LoadEdidFile, FifoLoadsNothingWithoutBlocking) {
#ifdef _WIN32
  GTEST_SKIP() << "no FIFOs on this platform";
#else
  ScratchFolder folder;
  const std::string path = folder.Join("fifo.txt");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  auto loading = std::async(std::launch::async, [&] { return Load(path); });
  if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Unblock the loader with a writer that closes at once, then fail.
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
    loading.wait();
    FAIL() << "loading a FIFO blocked";
  }
  const LoadResult result = loading.get();
  EXPECT_EQ(result.length, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(result.unreadable);
  EXPECT_FALSE(fs::exists(path + ".bin"));
#endif
}
