#include "layout/saved_layout.h"

#include <gtest/gtest.h>

#include "layout/arrange.h"
#include "tests/unit/desk_builder.h"

using desk::Replaced;

namespace {

// Wine's one monitor saved; the checksum is CRC-32 as zlib computes it.
const std::string kWineText = R"(velmorin-display layout format 1
computer WINEHOST
convention plain
path source=00000000:000003f0/0 source_mode=0 clone_group=-1 source_status=1 target=00000000:000003f0/0 target_mode=1 desktop_mode=-1 technology=10 rotation=1 scaling=1 refresh=60/1 scanline=1 available=yes target_status=1 flags=1
mode source=00000000:000003f0/0 size=1024x768 pixel_format=4 position=0,0
mode target=00000000:000003f0/0 pixel_rate=47185920 h_sync=0/0 v_sync=60/1 active=1024x768 total=0x0 standard=0 scanline=0
monitor target=00000000:000003f0/0 device_path=\\?\DISPLAY#Default_Monitor#0000&0000#{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7} name= edid_ids=no manufacturer= product=0 hdr_supported=no hdr_on=no
checksum 6b60cc8b
)";
}  // namespace

TEST(SavedLayout, WrittenOneRecordALineWithItsChecksum) {
  EXPECT_EQ(FormatSavedLayout(ActiveLayout(desk::WineDesk(false)), "WINEHOST"), kWineText);
}

TEST(SavedLayout, ReadsBackWhatItWrote) {
  DisplayConfig virtual_modes = ActiveLayout(desk::Desk({{"A", false, 0, -1920, -200, 1920, 1080, {60000, 1001}},
                                                         {"A2", false, 0, -1920, -200, 1920, 1080},
                                                         {"N", true, 1, 0, 0, 3840, 2160, {}, 0x80000001, 0, true}}));
  virtual_modes.virtual_mode_aware = true;
  virtual_modes.modes.push_back(desk::ModeRecord(ModeKind::kDesktopImage, 2, {0x80000001, -2}));
  virtual_modes.modes.back().image_region = {0, 0, 3840, 2160};
  virtual_modes.paths[2].desktop_mode = static_cast<int32_t>(virtual_modes.modes.size() - 1);
  virtual_modes.paths[2].flags |= kPathVirtualMode;
  virtual_modes.monitors[0].monitor_name = "Desk 100% \t\xC3\xA9";
  const struct {
    DisplayConfig layout;
    std::string computer;
  } cases[] = {{ActiveLayout(desk::WineDesk(true)), "WINEHOST"}, {virtual_modes, "Desk 7 \xC3\xA9"}};
  for (const auto& c : cases) {
    DisplayConfig read{};
    EXPECT_EQ(ParseSavedLayout(FormatSavedLayout(c.layout, c.computer), c.computer, &read), "");
    DisplayConfig expected = c.layout;
    expected.sources.clear();  // GDI names are not kept
    EXPECT_EQ(read, expected) << c.computer;
  }
}

TEST(SavedLayout, RefusedWholeWithTheReason) {
  const char* truncated = "is truncated (it does not end in its checksum)";
  const struct {
    std::string text;
    const char* computer;
    const char* problem;
  } cases[] = {
      {kWineText, "winehost", ""},
      {kWineText, "OTHER-PC", "was saved on WINEHOST, not on this computer (OTHER-PC)"},
      {Replaced(kWineText, "1024x768 pixel", "1024x769 pixel"), "WINEHOST", "is damaged (its checksum does not match)"},
      {kWineText + "monitor\n", "WINEHOST", "is damaged (text follows its checksum)"},
      {Replaced(kWineText, "\n", "\r\n"), "WINEHOST", "is damaged (its line ends were changed to CR LF)"},
      {kWineText.substr(0, kWineText.size() - 1), "WINEHOST", truncated},
      {kWineText.substr(0, kWineText.find("checksum")), "WINEHOST", truncated},
      {kWineText.substr(0, 300), "WINEHOST", truncated},
      {kWineText.substr(0, 12), "WINEHOST", truncated},
      {"", "WINEHOST", "is empty"},
      {Replaced(kWineText, "format 1", "format 2"), "WINEHOST", "is in format 2; this velmorin-display reads format 1"},
      {"[Display]\r\nMode=1024x768\r\n", "WINEHOST", "is not a layout saved by velmorin-display"},
      {Replaced(Replaced(kWineText, "source_mode=0", "source_mode=1"), "6b60cc8b", "11bc1311"), "WINEHOST",
       "is damaged (line 4 has a source_mode that is no mode of its kind)"},
  };
  for (const auto& c : cases) {
    DisplayConfig read = desk::WineDesk(true);
    EXPECT_EQ(ParseSavedLayout(c.text, c.computer, &read), c.problem) << c.text;
    EXPECT_EQ(read == desk::WineDesk(true), *c.problem != '\0') << "applied in part: " << c.text;
  }
}
