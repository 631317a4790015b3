// Micro-benchmarks of the per-file work of the list and attach commands:
// decoding one detailed timing, inspecting one image, and the text form.
// Every report goes to a null sink, so formatting is measured but the
// console is not.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "edid/detailed_timing.h"
#include "edid/edid_image.h"
#include "edid/hex_text.h"
#include "edid/inspect.h"
#include "edid/load.h"
#include "survey/list.h"

namespace {

namespace fs = std::filesystem;

// 1920x1080 at 148.5 MHz, totals 2200 x 1125: the most common timing.
constexpr uint8_t kFullHdTiming[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                       0x2C, 0x45, 0x00, 0x56, 0x50, 0x21, 0x00, 0x00, 0x1E};
// 1280x720 at 74.25 MHz.
constexpr uint8_t kHdTiming[18] = {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E,
                                   0x28, 0x55, 0x00, 0x56, 0x50, 0x21, 0x00, 0x00, 0x1E};
constexpr uint8_t kRangeLimits[18] = {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x51,
                                      0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
constexpr uint8_t kMonitorName[18] = {0x00, 0x00, 0x00, 0xFC, 0x00, 'B', 'e', 'n', 'c',
                                      'h', ' ', 'M', 'o', 'n', 'i', 't', 'o', 0x0A};

void RepairChecksum(uint8_t* block) {
  uint32_t sum = 0;
  for (int i = 0; i < kEdidBlockSize - 1; ++i) sum += block[i];
  block[kEdidBlockSize - 1] = static_cast<uint8_t>(-sum);
}

// A typical monitor: base block with two timings, range limits and a name,
// and a CEA-861 block with audio, HDMI vendor block and one more timing.
// It passes both tests, so the whole report is printed.
EdidImage MakeTypicalImage() {
  EdidImage image{};
  uint8_t* base = image.bytes;
  const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  std::memcpy(base, header, sizeof header);
  base[18] = 1;
  base[19] = 3;
  base[24] = 0xEA;
  std::memcpy(base + 54, kFullHdTiming, 18);
  std::memcpy(base + 72, kRangeLimits, 18);
  std::memcpy(base + 90, kMonitorName, 18);
  std::memcpy(base + 108, kHdTiming, 18);
  base[126] = 1;
  RepairChecksum(base);

  uint8_t* cea = image.bytes + kEdidBlockSize;
  const uint8_t data_blocks[] = {0x43, 0x90, 0x04, 0x03,                // video: three codes
                                 0x26, 0x09, 0x07, 0x07, 0x15, 0x07, 0x50,  // audio: two formats
                                 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00};   // HDMI vendor block
  cea[0] = 0x02;
  cea[1] = 0x03;
  cea[2] = static_cast<uint8_t>(4 + sizeof data_blocks);
  cea[3] = 0x31;  // no basic audio bit: the audio data block is walked
  std::memcpy(cea + 4, data_blocks, sizeof data_blocks);
  std::memcpy(cea + cea[2], kFullHdTiming, 18);
  RepairChecksum(cea);
  image.length = 2 * kEdidBlockSize;
  return image;
}

std::string AsHexText(const uint8_t* bytes, int32_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int32_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
    if (i % 16 == 15) text += '\n';
  }
  return text;
}

std::FILE* NullSink() {
  static std::FILE* sink = [] {
    std::FILE* file = std::fopen("/dev/null", "wb");
    return file != nullptr ? file : std::fopen("NUL", "wb");
  }();
  return sink;
}

Console NullConsole() { return Console{NullSink(), NullSink()}; }

// A private folder for the file benchmarks, removed when it goes out of scope.
struct ScratchFolder {
  fs::path path;
  ScratchFolder()
      : path(fs::temp_directory_path() / ("velmorin-bench-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string Write(const std::string& name, const void* data, size_t size) const {
    std::string file_path = (path / name).string();
    std::FILE* file = std::fopen(file_path.c_str(), "wb");
    if (file != nullptr) {
      std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    return file_path;
  }
};

void BM_DecodeDetailedTiming(benchmark::State& state) {
  std::FILE* sink = NullSink();
  for ([[maybe_unused]] auto _ : state) {
    benchmark::DoNotOptimize(DecodeDetailedTiming(kFullHdTiming, sink));
  }
}
BENCHMARK(BM_DecodeDetailedTiming);

// The patch rewrites the image, so every iteration starts from a fresh copy.
void BM_InspectEdid(benchmark::State& state) {
  EdidImage typical = MakeTypicalImage();
  typical.length = static_cast<int32_t>(state.range(0));
  if (typical.length == kEdidBlockSize) {
    typical.bytes[126] = 0;
    RepairChecksum(typical.bytes);
  }
  const Console console = NullConsole();
  EdidImage image;
  TimingTable timings;
  for ([[maybe_unused]] auto _ : state) {
    image = typical;
    benchmark::DoNotOptimize(InspectEdid(image, timings, console));
  }
}
BENCHMARK(BM_InspectEdid)->Arg(kEdidBlockSize)->Arg(2 * kEdidBlockSize);

void BM_ConvertHexText(benchmark::State& state) {
  const EdidImage typical = MakeTypicalImage();
  std::string kept = AsHexText(typical.bytes, typical.length);
  kept.erase(std::remove(kept.begin(), kept.end(), '\n'), kept.end());
  uint8_t bytes[kEdidImageCapacity];
  for ([[maybe_unused]] auto _ : state) {
    ConvertHexText(kept.data(), typical.length, bytes);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(state.iterations() * typical.length);
}
BENCHMARK(BM_ConvertHexText);

// Reading, converting and writing the ".bin" copy: the whole text-form load.
void BM_LoadEdidFileText(benchmark::State& state) {
  const ScratchFolder folder;
  const EdidImage typical = MakeTypicalImage();
  const std::string text = AsHexText(typical.bytes, typical.length);
  const std::string path = folder.Write("1920x1080x60.txt", text.data(), text.size());
  const Console console = NullConsole();
  EdidImage image;
  for ([[maybe_unused]] auto _ : state) {
    if (LoadEdidFile(path.c_str(), image, console) != typical.length) {
      state.SkipWithError("text file did not load");
      break;
    }
  }
}
BENCHMARK(BM_LoadEdidFileText);

// The same EDID in binary form, for comparison: no conversion and no copy.
void BM_LoadEdidFileBinary(benchmark::State& state) {
  const ScratchFolder folder;
  const EdidImage typical = MakeTypicalImage();
  const std::string path = folder.Write("1920x1080x60.bin", typical.bytes, typical.length);
  const Console console = NullConsole();
  EdidImage image;
  for ([[maybe_unused]] auto _ : state) {
    if (LoadEdidFile(path.c_str(), image, console) != typical.length) {
      state.SkipWithError("binary file did not load");
      break;
    }
  }
}
BENCHMARK(BM_LoadEdidFileBinary);

// One entry of the list command: load, inspect, summary lines.
void BM_ListEdidFile(benchmark::State& state) {
  const ScratchFolder folder;
  const EdidImage typical = MakeTypicalImage();
  const std::string path = folder.Write("1920x1080x60.bin", typical.bytes, typical.length);
  const Console console = NullConsole();
  for ([[maybe_unused]] auto _ : state) {
    benchmark::DoNotOptimize(ListEdidFile(path.c_str(), console));
  }
}
BENCHMARK(BM_ListEdidFile);

}  // namespace

BENCHMARK_MAIN();
