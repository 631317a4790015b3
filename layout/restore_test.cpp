#include "layout/restore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "layout/arrange.h"
#include "layout/display_list.h"
#include "tests/unit/desk_builder.h"

using desk::Desk;
using desk::kOff;
using desk::TagOf;

namespace {

std::string Ids(const AdapterId& adapter, uint32_t id) {
  char text[32];
  std::snprintf(text, sizeof text, "%x/%u", static_cast<unsigned>(adapter.low), static_cast<unsigned>(id));
  return text;
}

// The plan in one line: each path as "TAG ADAPTER/TARGET/SOURCE mINDEX WxH@X,Y", then what else it says.
std::string Summary(const RestorePlan& plan) {
  std::string text;
  for (const DisplayPath& path : plan.layout.paths) {
    const MonitorTarget* monitor = MonitorOfTarget(plan.layout, path.target_adapter, path.target_id);
    const DisplayConfigMode* mode = ModeOf(plan.layout, path.source_mode, ModeKind::kSource);
    const DisplayConfigMode* target = ModeOf(plan.layout, path.target_mode, ModeKind::kTarget);
    // Paths and modes carry today's ids alike.
    if (!mode || mode->adapter != path.source_adapter || mode->id != path.source_id || !target ||
        target->adapter != path.target_adapter || target->id != path.target_id) {
      return "a path whose modes are not its own";
    }
    text += (text.empty() ? "" : "; ") + TagOf(monitor->device_path) + " " + Ids(path.target_adapter, path.target_id) +
            "/" + std::to_string(path.source_id) + " m" + std::to_string(path.source_mode) + " " +
            std::to_string(mode->width) + "x" + std::to_string(mode->height) + "@" + std::to_string(mode->x) + "," +
            std::to_string(mode->y);
  }
  std::vector<bool> used(plan.layout.modes.size(), false);
  for (const DisplayPath& path : plan.layout.paths)
    used[static_cast<size_t>(path.source_mode)] = used[static_cast<size_t>(path.target_mode)] = true;
  EXPECT_EQ(std::count(used.begin(), used.end(), false), 0) << "a mode no path uses";
  for (const std::string& gone : plan.gone) text += " gone " + TagOf(gone);
  for (const std::string& left : plan.no_source) text += " no source for " + TagOf(left);
  text += plan.nothing_to_do ? " nothing to do" : plan.modes_only ? " modes only" : "";
  for (const ModeRestore& m : plan.mode_changes) {
    text += " mode " + m.gdi_name + " " + std::to_string(m.width) + "x" + std::to_string(m.height) + "@" +
            std::to_string(m.x) + "," + std::to_string(m.y) + " " + FormatRefresh(m.refresh);
  }
  for (const HdrRestore& h : plan.hdr_changes) text += " hdr " + Ids(h.adapter, h.target_id) + (h.on ? " on" : " off");
  return text;
}

}  // namespace

TEST(PlanRestore, SavedLayoutOnTodaysConfiguration) {
  using S = desk::Screen;
  const S a = {"A", false, 0, 0, 0, 1920, 1080};
  const S n = {"N", true, 1, 1920, 0, 2560, 1440, {143973, 1000}};
  const S a_today = {"A", false, 0, 0, 0, 1920, 1080, {60, 1}, 0x200};
  const S n_today = {"N", true, 1, 1920, 0, 2560, 1440, {143973, 1000}, 0x200};
  const S n_off = {"N", true, kOff, 0, 0, 0, 0, {0, 0}, 0x200, 5};
  const struct {
    const char* name;
    std::vector<S> saved;
    DisplayConfig now;
    std::string expected;
  } cases[] = {
      {"after a restart: new adapter and target ids", {a, n}, Desk({a_today, n_off}),
       "A 200/0/0 m0 1920x1080@0,0; N 200/5/1 m2 2560x1440@1920,0"},
      {"a clone pair shares one source, the one showing it now", {a, {"A2", false, 0, 0, 0, 1920, 1080}, n},
       Desk({{"A", false, 2, 0, 0, 1920, 1080, {60, 1}, 0x200}, {"A2", false, kOff, 0, 0, 0, 0, {}, 0x200}, n_off}),
       "A 200/0/2 m0 1920x1080@0,0; A2 200/1/2 m0 1920x1080@0,0; N 200/5/1 m3 2560x1440@1920,0"},
      {"a monitor gone, the rest as saved", {a, n}, Desk({a_today}), "A 200/0/0 m0 1920x1080@0,0 gone N nothing to do"},
      {"same sources: modes change", {a, n}, Desk({a_today, {"N", true, 3, 1920, 0, 1920, 1440, {60, 1}, 0x200}}),
       "A 200/0/0 m0 1920x1080@0,0; N 200/1/3 m2 2560x1440@1920,0 modes only mode \\\\.\\DISPLAY2 2560x1440@1920,0 "
       "143.973"},
      {"one more on the desk today: paths change", {a}, Desk({a_today, n_today}), "A 200/0/0 m0 1920x1080@0,0"},
      {"the desk as saved", {a, n}, Desk({a_today, n_today}),
       "A 200/0/0 m0 1920x1080@0,0; N 200/1/1 m2 2560x1440@1920,0 nothing to do"},
      {"HDR alone differs", {{"A", false, 0, 0, 0, 1920, 1080, {60, 1}, 0x100, 0, true}, n}, Desk({a_today, n_today}),
       "A 200/0/0 m0 1920x1080@0,0; N 200/1/1 m2 2560x1440@1920,0 modes only hdr 200/0 on"},
      {"the primary swapped: a whole apply, never a mode change a display at a time", {a, n},
       Desk({{"A", false, 0, 2560, 0, 1920, 1080, {60, 1}, 0x200}, {"N", true, 1, 0, 0, 2560, 1440, {143973, 1000}, 0x200}}),
       "A 200/0/0 m0 1920x1080@0,0; N 200/1/1 m2 2560x1440@1920,0"},
      {"the saved primary gone: the rest re-packed to 0,0", {a, n},
       Desk({{"N", true, 1, 0, 0, 2560, 1440, {143973, 1000}, 0x200}}), "N 200/0/1 m0 2560x1440@0,0 gone A"},
      {"no source left on the adapter it moved to", {a, {"N", true, 0, 1920, 0, 2560, 1440, {60, 1}, 0x101}},
       Desk({a_today, n_off}, 1), "A 200/0/0 m0 1920x1080@0,0 no source for N nothing to do"},
  };
  for (const auto& c : cases) EXPECT_EQ(Summary(PlanRestore(ActiveLayout(Desk(c.saved)), c.now)), c.expected) << c.name;
}

TEST(CompareHdr, EachSavedMonitorThatCanDoHdrHasItsSavedState) {
  using S = desk::Screen;
  const DisplayConfig saved = ActiveLayout(Desk({{"A", false, 0, 0, 0, 1920, 1080, {60, 1}, 0x100, 0, true},
                                                 {"N", true, 1, 1920, 0, 2560, 1440}}));
  const struct {
    const char* name;
    std::vector<S> now;
    std::string expected;
  } cases[] = {
      {"as saved", {{"A", false, 0, 0, 0, 1920, 1080, {60, 1}, 0x200, 0, true}, {"N", true, 1, 1920, 0, 2560, 1440}},
       ""},
      {"switched off", {{"A", false, 0, 0, 0, 1920, 1080}, {"N", true, 1, 1920, 0, 2560, 1440}},
       desk::DevicePath("A") + " has HDR off, not on"},
      {"switched on", {{"A", false, 0, 0, 0, 1920, 1080, {60, 1}, 0x100, 0, true}, {"N", true, 1, 1920, 0, 2560, 1440, {60, 1}, 0x100, 0, true}},
       desk::DevicePath("N") + " has HDR on, not off"},
      {"a monitor gone", {{"N", true, 1, 1920, 0, 2560, 1440}}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareHdr(saved, Desk(c.now)), c.expected) << c.name;
}
