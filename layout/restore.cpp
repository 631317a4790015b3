#include "layout/restore.h"

#include "layout/arrange.h"
#include "layout/lookup.h"
#include "layout/mode_choice.h"

namespace {

// A saved active path and the monitors of its target, then and now.
struct SavedPath {
  const DisplayPath* path;
  const MonitorTarget* saved;
  const MonitorTarget* today;
};

bool SameSource(const DisplayPath& a, const DisplayPath& b) {
  return a.source_adapter == b.source_adapter && a.source_id == b.source_id;
}

bool HasPath(const DisplayConfig& now, const DisplayPath& source, const MonitorTarget& target) {
  for (const DisplayPath& path : now.paths) {
    if (path.target_available && SameSource(path, source) && path.target_adapter == target.adapter &&
        path.target_id == target.target_id) {
      return true;
    }
  }
  return false;
}

// Today's path to the first monitor of `group` from a source that can show
// every monitor of the group and that no other group has taken: the one
// showing it now when there is one, so that an unchanged desk stays as it
// is; else the source of the saved id; else the first listed. nullptr
// when there is none.
const DisplayPath* ChooseSource(const DisplayConfig& now, const std::vector<SavedPath>& group,
                                const std::vector<const DisplayPath*>& taken) {
  const MonitorTarget& first = *group.front().today;
  const int32_t showing = ActivePathTo(now, first.adapter, first.target_id);
  const DisplayPath* chosen = nullptr;
  int32_t chosen_rank = 3;
  for (size_t i = 0; i < now.paths.size(); ++i) {
    const DisplayPath& candidate = now.paths[i];
    bool usable = candidate.target_available && candidate.target_adapter == first.adapter &&
                  candidate.target_id == first.target_id;
    for (const DisplayPath* other : taken) usable = usable && !SameSource(*other, candidate);
    for (const SavedPath& member : group) usable = usable && HasPath(now, candidate, *member.today);
    if (!usable) continue;
    const int32_t rank = static_cast<int32_t>(i) == showing                     ? 0
                         : candidate.source_id == group.front().path->source_id ? 1
                                                                                : 2;
    if (rank < chosen_rank) {
      chosen = &candidate;
      chosen_rank = rank;
    }
  }
  return chosen;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
  for (const std::string& listed : names) {
    if (SameName(listed, name)) return;
  }
  names.push_back(name);
}

}  // namespace

RestorePlan PlanRestore(const DisplayConfig& saved, const DisplayConfig& now) {
  RestorePlan plan{};
  plan.layout.virtual_mode_aware = saved.virtual_mode_aware;

  std::vector<SavedPath> wanted;
  for (const DisplayPath& path : saved.paths) {
    if (!IsActive(path)) continue;
    // A target saved without its monitor had no device path: nothing finds it again.
    const MonitorTarget* monitor = MonitorOfTarget(saved, path.target_adapter, path.target_id);
    if (monitor == nullptr) continue;
    const MonitorTarget* today = MonitorByPath(now, monitor->device_path);
    if (today == nullptr) {
      AddOnce(plan.gone, monitor->device_path);
      continue;
    }
    bool twice = false;
    for (const SavedPath& other : wanted) twice = twice || other.today == today;
    if (!twice) wanted.push_back(SavedPath{&path, monitor, today});
  }

  // Saved modes are copied once for each source or target that uses them
  // (a clone pair's source mode once), with today's ids.
  std::vector<int32_t> renumbered(saved.modes.size(), kNoModeIndex);
  const auto keep = [&](int32_t index, ModeKind kind, const AdapterId& adapter, uint32_t id) {
    if (ModeOf(saved, index, kind) == nullptr) return kNoModeIndex;
    int32_t& kept = renumbered[static_cast<size_t>(index)];
    if (kept == kNoModeIndex || !(plan.layout.modes[static_cast<size_t>(kept)].adapter == adapter &&
                                  plan.layout.modes[static_cast<size_t>(kept)].id == id)) {
      kept = static_cast<int32_t>(plan.layout.modes.size());
      DisplayConfigMode mode = saved.modes[static_cast<size_t>(index)];
      mode.adapter = adapter;
      mode.id = id;
      plan.layout.modes.push_back(mode);
    }
    return kept;
  };

  // Paths that shared a source (clones) share one today.
  std::vector<bool> grouped(wanted.size(), false);
  std::vector<const DisplayPath*> taken;
  std::vector<const MonitorTarget*> restored;  // saved monitor records of the paths put back
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (grouped[i]) continue;
    std::vector<SavedPath> group;
    for (size_t j = i; j < wanted.size(); ++j) {
      if (!grouped[j] && SameSource(*wanted[j].path, *wanted[i].path)) {
        grouped[j] = true;
        group.push_back(wanted[j]);
      }
    }
    const DisplayPath* source = ChooseSource(now, group, taken);
    if (source == nullptr) {
      for (const SavedPath& member : group) AddOnce(plan.no_source, member.saved->device_path);
      continue;
    }
    taken.push_back(source);
    for (const SavedPath& member : group) {
      DisplayPath path = *member.path;
      path.source_adapter = source->source_adapter;
      path.source_id = source->source_id;
      path.target_adapter = member.today->adapter;
      path.target_id = member.today->target_id;
      path.target_available = true;
      path.source_mode = keep(path.source_mode, ModeKind::kSource, path.source_adapter, path.source_id);
      path.target_mode = keep(path.target_mode, ModeKind::kTarget, path.target_adapter, path.target_id);
      path.desktop_mode = keep(path.desktop_mode, ModeKind::kDesktopImage, path.target_adapter, path.target_id);
      plan.layout.paths.push_back(path);
      plan.layout.monitors.push_back(*member.today);
      restored.push_back(member.saved);
    }
    const std::string gdi_name = GdiNameOf(now, source->source_adapter, source->source_id);
    if (!gdi_name.empty())
      plan.layout.sources.push_back(DisplaySource{source->source_adapter, source->source_id, gdi_name});
  }

  // The same monitors active from the same sources: only modes may differ.
  size_t active_now = 0;
  for (const DisplayPath& path : now.paths) active_now += IsActive(path) ? 1 : 0;
  plan.modes_only = !plan.layout.paths.empty() && active_now == plan.layout.paths.size();
  std::vector<const DisplayPath*> compared;
  for (const DisplayPath& path : plan.layout.paths) {
    if (!plan.modes_only) break;
    const int32_t current_index = ActivePathTo(now, path.target_adapter, path.target_id);
    plan.modes_only = current_index >= 0 && SameSource(now.paths[static_cast<size_t>(current_index)], path);
    const DisplayConfigMode* want = ModeOf(plan.layout, path.source_mode, ModeKind::kSource);
    bool listed = false;
    for (const DisplayPath* other : compared) listed = listed || SameSource(*other, path);
    if (!plan.modes_only || want == nullptr || listed) continue;
    compared.push_back(&path);
    const DisplayPath& current = now.paths[static_cast<size_t>(current_index)];
    const DisplayConfigMode* have = ModeOf(now, current.source_mode, ModeKind::kSource);
    const Rational rate = PathRefresh(plan.layout, path);
    const double hz =
        IsSpecified(rate) ? static_cast<double>(rate.numerator) / static_cast<double>(rate.denominator) : 0;
    // A display that moves goes through a whole apply: changed one at a time,
    // displays that trade places would overlap on the way.
    plan.modes_only = have != nullptr && have->x == want->x && have->y == want->y;
    const bool same = have != nullptr && have->width == want->width && have->height == want->height &&
                      (!IsSpecified(rate) || RefreshMatches(PathRefresh(now, current), hz));
    if (!plan.modes_only || same) continue;
    // A change of modes names the source by its GDI name.
    const std::string gdi_name = GdiNameOf(now, path.source_adapter, path.source_id);
    plan.modes_only = !gdi_name.empty();
    plan.mode_changes.push_back(ModeRestore{gdi_name, want->width, want->height, rate, want->x, want->y});
  }
  if (!plan.modes_only) plan.mode_changes.clear();
  // Without the saved primary one of the others must lie at 0,0.
  bool primary = false;
  for (const DisplayPath& path : plan.layout.paths) {
    const DisplayConfigMode* source = ModeOf(plan.layout, path.source_mode, ModeKind::kSource);
    primary = primary || (source != nullptr && source->x == 0 && source->y == 0);
  }
  if (!plan.modes_only && !primary) RepackPositions(plan.layout);

  for (size_t i = 0; i < plan.layout.monitors.size(); ++i) {
    const MonitorTarget& today = plan.layout.monitors[i];
    if (today.hdr_on != restored[i]->hdr_on)
      plan.hdr_changes.push_back(HdrRestore{today.adapter, today.target_id, restored[i]->hdr_on});
  }
  plan.nothing_to_do = plan.modes_only && plan.mode_changes.empty() && plan.hdr_changes.empty();
  return plan;
}

std::string CompareHdr(const DisplayConfig& saved, const DisplayConfig& got) {
  for (const DisplayPath& path : saved.paths) {
    if (!IsActive(path)) continue;
    const MonitorTarget* then = MonitorOfTarget(saved, path.target_adapter, path.target_id);
    const MonitorTarget* now = then == nullptr ? nullptr : MonitorByPath(got, then->device_path);
    // A monitor that cannot do HDR now shows SDR whatever was saved.
    if (now == nullptr || !now->hdr_supported || now->hdr_on == then->hdr_on) continue;
    return then->device_path + " has HDR " + (now->hdr_on ? "on" : "off") + ", not " + (then->hdr_on ? "on" : "off");
  }
  return std::string();
}
