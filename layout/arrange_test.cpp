#include "layout/arrange.h"

#include <gtest/gtest.h>

#include "tests/unit/desk_builder.h"

using desk::Desk;
using desk::DevicePath;
using desk::kOff;
using desk::Positions;

namespace {

const desk::Screen kA = {"A", false, 0, 0, 0, 1920, 1080};
const desk::Screen kB = {"B", false, 1, 1920, 0, 1920, 1080};
const desk::Screen kN = {"N", true, 2, 3840, 0, 2560, 1440, {143973, 1000}};
const desk::Screen kM = {"M", true, kOff};

}  // namespace

TEST(Arrange, PrimaryOnlyAndAddedDisplays) {
  desk::Screen clone = kA;
  clone.tag = "A2";
  const struct {
    const char* name;
    DisplayConfig desk;
    char change;  // 'p' MakePrimary, 'o' MakeOnly, 'a' AddToDesk, then RepackPositions
    const char* tag;
    std::string expected;  // Positions(), or the reason it cannot be done
  } cases[] = {
      {"primary, the others keep their places", Desk({kA, kB, kN}), 'p', "N", "A:0@-3840,0 B:1@-1920,0 N:2@0,0"},
      {"primary moves a clone pair's source once, then packs", Desk({kA, clone, kN}), 'p', "N",
       "A:0@-1920,0 A2:0@-1920,0 N:2@0,0"},
      {"primary already", Desk({kA, kB, kN}), 'p', "A", "A:0@0,0 B:1@1920,0 N:2@3840,0"},
      {"primary of a display not on the desk", Desk({kA, kM}), 'p', "M", DevicePath("M") + " is not an active display"},
      {"only", Desk({kA, kB, kN}), 'o', "N", "N:2@0,0"},
      {"only, of a clone pair", Desk({kA, clone, kN}), 'o', "A2", "A2:0@0,0"},
      {"only of a display not on the desk", Desk({kA, kM}), 'o', "M", DevicePath("M") + " is not an active display"},
      {"added from a free source, modes left to Windows", Desk({kA, kM}), 'a', "M", "A:0@0,0 M:1@-"},
      {"no source free", Desk({kA, kM}, 1), 'a', "M", DevicePath("M") + " has no free source on its adapter"},
      {"added, on the desk already", Desk({kA, kM}), 'a', "A", "A:0@0,0"},
      {"added, not connected", Desk({kA}), 'a', "M", DevicePath("M") + " is not connected"},
  };
  for (const auto& c : cases) {
    DisplayConfig layout = ActiveLayout(c.desk);
    const std::string path = DevicePath(c.tag);
    const std::string problem = c.change == 'p'   ? MakePrimary(layout, path)
                                : c.change == 'o' ? MakeOnly(layout, path)
                                                  : AddToDesk(layout, c.desk, path);
    RepackPositions(layout);
    EXPECT_EQ(problem.empty() ? Positions(layout) : problem, c.expected) << c.name;
  }
}

TEST(RepackPositions, EdgesTouchingOneSourceAtTheOrigin) {
  using S = desk::Screen;
  const struct {
    const char* name;
    std::vector<S> screens;
    const char* expected;
  } cases[] = {
      {"packed already", {kA, kB, {"C", false, 2, 1920, 1080, 1280, 720}}, "A:0@0,0 B:1@1920,0 C:2@1920,1080"},
      {"below the one it lies under, not the one off its corner", {kA, kB, {"C", false, 2, 1920, 1200, 1280, 720}},
       "A:0@0,0 B:1@1920,0 C:2@1920,1080"},
      {"a gap closed", {kA, {"C", false, 2, 3840, 0, 1920, 1080}}, "A:0@0,0 C:2@1920,0"},
      {"an overlap pushed out", {kA, {"C", false, 2, 1000, 0, 1920, 1080}}, "A:0@0,0 C:2@1920,0"},
      {"on the left, at its height", {kA, {"C", false, 2, -3000, 100, 1920, 1080}}, "A:0@0,0 C:2@-1920,100"},
      {"below", {kA, {"C", false, 2, 0, 1500, 1280, 720}}, "A:0@0,0 C:2@0,1080"},
      {"off a corner: beside it, bottoms level", {kA, {"C", false, 2, 2500, 1500, 1280, 720}}, "A:0@0,0 C:2@1920,360"},
      {"no primary: the nearest moves to the origin",
       {{"C", false, 2, 100, 100, 1920, 1080}, {"D", false, 3, 2020, 100, 1920, 1080}}, "C:2@0,0 D:3@1920,0"},
      {"nearer first, then past it", {kA, {"C", false, 2, 5000, 0, 1920, 1080}, {"D", false, 3, 2500, 0, 1920, 1080}},
       "A:0@0,0 C:2@3840,0 D:3@1920,0"},
  };
  for (const auto& c : cases) {
    DisplayConfig layout = ActiveLayout(Desk(c.screens));
    RepackPositions(layout);
    EXPECT_EQ(Positions(layout), c.expected) << c.name;
  }
}

TEST(CompareLayouts, CatchesWhatWindowsDidNotApply) {
  const DisplayConfig asked = ActiveLayout(Desk({kA, kB, kN}));
  const desk::Screen n_off = {"N", true, kOff};
  DisplayConfig added = ActiveLayout(Desk({kA, kB, kM}));
  AddToDesk(added, Desk({kA, kB, kM}), DevicePath("M"));
  const struct {
    const char* name;
    DisplayConfig wanted;
    DisplayConfig got;
    std::string expected;
  } cases[] = {
      {"as asked", asked, Desk({kA, kB, kN, kM}), ""},
      {"another monitor of ours lit", asked, Desk({kA, kB, {"M", true, 2, 3840, 0, 2560, 1440, {143973, 1000}}, n_off}),
       DevicePath("M") + " is active instead of " + DevicePath("N")},
      {"one missing", asked, Desk({kA, kB, n_off}), DevicePath("N") + " is not active"},
      {"one more", ActiveLayout(Desk({kA, kN})), Desk({kA, kB, kN}),
       DevicePath("B") + " is active, which was not asked"},
      {"a source moved", asked, Desk({kA, kB, {"N", true, 2, -2560, 0, 2560, 1440, {143973, 1000}}}),
       "\\\\.\\DISPLAY3 is at -2560,0, not 3840,0"},
      {"a size not applied", asked, Desk({kA, kB, {"N", true, 2, 3840, 0, 1920, 1440, {143973, 1000}}}),
       "\\\\.\\DISPLAY3 is 1920x1440, not 2560x1440"},
      {"a rate not applied", asked, Desk({kA, kB, {"N", true, 2, 3840, 0, 2560, 1440, {60, 1}}}),
       "\\\\.\\DISPLAY3 runs at 60.000 Hz, not 143.973 Hz"},
      {"a rate left unspecified", asked, Desk({kA, kB, {"N", true, 2, 3840, 0, 2560, 1440, {0, 0}}}),
       "\\\\.\\DISPLAY3 runs at an unspecified rate, not 143.973 Hz"},
      {"144 Hz asked, 143.973 Hz shown", ActiveLayout(Desk({kA, kB, {"N", true, 2, 3840, 0, 2560, 1440, {144, 1}}})),
       Desk({kA, kB, kN}), ""},
      {"an added display placed by Windows", added, Desk({kA, kB, {"M", true, 2, 3840, 0, 1280, 720}}), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareLayouts(c.wanted, c.got), c.expected) << c.name;
}
