#include "survey/list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/unit/test_support.h"

using namespace test_support;
namespace fs = std::filesystem;

namespace {

const std::string kReport =
    "\n\t# EDID version 1 revision 3\n"
    "\t# DPMS capabilities: Active off:yes  Suspend:no  Standby:yes\n\n"
    "\tMode \t\"1920x1080\"\t# vfreq 60.000Hz, hfreq 67.500kHz\n\t\tDotClock\t148.500000\n"
    "\tMode \t\"1280x720\"\t# vfreq 60.000Hz, hfreq 45.000kHz\n\t\tDotClock\t74.250000\n"
    "NO CEA extension\nIt's NOT an HDMI monitor\nNO CEA extension\nMonitor has NO audio\n";

Bytes Good() { return BaseBlock({Dtd1080(), NameDescriptor("Old"), Dtd720()}); }

Bytes Broken() {
  Bytes image = Good();
  image[127] = static_cast<uint8_t>(image[127] + 3);
  return image;
}

std::string Summary(const std::string& path, int index, const char* timing) {
  return "path " + path + ": DTD " + std::to_string(index) + ": " + timing + "\n";
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char pair[4];
  for (uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X ", byte);
    text += pair;
  }
  return text + "\r\n";
}

struct Listing {
  int32_t result;
  std::string out;
  std::string err;
};

Listing List(const std::string& path) {
  CapturedConsole capture;
  const int32_t result = ListEdidFile(path.c_str(), capture.console());
  return {result, capture.Out(), capture.Err()};
}

}  // namespace

TEST(ListEdidFile, ReportThenOneLinePerTimingWhenNoTestFailed) {
  ScratchFolder folder;
  const std::string good = folder.Join("good.bin");
  const std::string broken = folder.Join("broken.bin");
  const std::string none = folder.Join("none.bin");
  const std::string eight = folder.Join("eight.bin");
  const std::string text = folder.Join("good.txt");
  WriteFile(good, Good());
  WriteFile(broken, Broken());
  WriteFile(none, BaseBlock({NameDescriptor("Old")}));
  WriteFile(eight, Concat({BaseBlock({Dtd1080(), Dtd720(), Dtd1080(), Dtd720()}, 1),
                           CeaBlock({}, {Dtd1080(), Dtd720(), Dtd1080(), Dtd720()})}));
  WriteFile(text, Hex(Good()));
  std::string eight_lines;
  for (int i = 0; i < 8; ++i) eight_lines += Summary(eight, i, i % 2 == 0 ? "1920 1080 60" : "1280 720 60");
  const struct {
    std::string path;
    int32_t result;
    std::string out;
  } cases[] = {
      {good, 1, kReport + Summary(good, 0, "1920 1080 60") + Summary(good, 1, "1280 720 60")},
      {broken, 1, "checksum wrong 3" + kReport},
      {none, 1,
       "\n\t# EDID version 1 revision 3\n\t# DPMS capabilities: Active off:yes  Suspend:no  Standby:yes\n\n"
       "NO CEA extension\nIt's NOT an HDMI monitor\nNO CEA extension\nMonitor has NO audio\n"},
      {text, 1,
       "The EDID size is 128 bytes. \n" + kReport + Summary(text, 0, "1920 1080 60") +
           Summary(text, 1, "1280 720 60")},
      {folder.Join("missing.bin"), 0, ""},
      {folder.path.string(), 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const Listing listing = List(c.path);
    EXPECT_EQ(listing.result, c.result);
    EXPECT_EQ(listing.out, c.out);
    EXPECT_EQ(listing.err, "");
  }
  const Listing listing = List(eight);
  EXPECT_EQ(listing.out.substr(listing.out.find("path ")), eight_lines);
}

TEST(ListFolder, ListsTheCollectedEntriesOnly) {
  ScratchFolder folder;
  const std::string text = folder.Join("a.txt");
  WriteFile(text, Hex(Good()));
  WriteFile(folder.Join("b.bin"), Broken());
  fs::create_directory(folder.path / "c");
  WriteFile(folder.Join(std::string("c") + kSeparator + "d.bin"), Good());
  const std::string copy_report = kReport + Summary(text + ".bin", 0, "1920 1080 60") +
                                  Summary(text + ".bin", 1, "1280 720 60");
  const std::string rest = "The EDID size is 128 bytes. \n" + kReport + Summary(text, 0, "1920 1080 60") +
                           Summary(text, 1, "1280 720 60");
  const std::string after = "checksum wrong 3" + kReport + kReport +
                            Summary(folder.Join(std::string("c") + kSeparator + "d.bin"), 0, "1920 1080 60") +
                            Summary(folder.Join(std::string("c") + kSeparator + "d.bin"), 1, "1280 720 60");
  {
    CapturedConsole capture;
    ListFolder(folder.path.string().c_str(), capture.console());
    EXPECT_EQ(capture.Out(), rest + after);  // the copy written on the way is not listed
    EXPECT_EQ(capture.Err(), "");
  }
  {
    CapturedConsole capture;
    ListFolder(folder.path.string().c_str(), capture.console());
    EXPECT_EQ(capture.Out(), rest + copy_report + after);
  }
}
