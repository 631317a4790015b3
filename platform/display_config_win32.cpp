#include <windows.h>
// After windows.h:

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/display_config.h"
#include "platform/display_config_rules.h"
#include "platform/hdr_packets_win32.h"
#include "platform/wide_path_win32.h"

static_assert(kApplySuppliedConfig == SDC_USE_SUPPLIED_DISPLAY_CONFIG && kApplyValidate == SDC_VALIDATE &&
              kApplyNow == SDC_APPLY && kApplySaveToDatabase == SDC_SAVE_TO_DATABASE &&
              kApplyAllowChanges == SDC_ALLOW_CHANGES && kApplyVirtualModeAware == SDC_VIRTUAL_MODE_AWARE);
static_assert(kPathActive == DISPLAYCONFIG_PATH_ACTIVE && kPathVirtualMode == DISPLAYCONFIG_PATH_SUPPORT_VIRTUAL_MODE);
// The desktop image is read from the mode's union, which these headers declare without it.
static_assert(sizeof(DISPLAYCONFIG_DESKTOP_IMAGE_INFO) <= sizeof(DISPLAYCONFIG_TARGET_MODE));

namespace {

constexpr uint32_t kNoHalfIndex = 0xFFFF;  // "none" in a 16-bit half of the virtual-mode convention

DisplayCallResult Done() { return {DisplayCallStatus::kDone, 0}; }

DisplayCallResult FromError(LONG code) {
  switch (code) {
    case ERROR_SUCCESS:
      return Done();
    case ERROR_ACCESS_DENIED:
      return {DisplayCallStatus::kAccessDenied, static_cast<int32_t>(code)};
    case ERROR_NOT_SUPPORTED:
      return {DisplayCallStatus::kNotSupported, static_cast<int32_t>(code)};
    case ERROR_INSUFFICIENT_BUFFER:
      return {DisplayCallStatus::kChanging, static_cast<int32_t>(code)};
    default:
      return {DisplayCallStatus::kFailed, static_cast<int32_t>(code)};
  }
}

std::string Utf8(const wchar_t* text, size_t length) { return Utf8FromWide(text, length); }

// A fixed array of Windows' packets: up to its first NUL, never past its end.
template <size_t N>
std::string Utf8(const WCHAR (&text)[N]) {
  return Utf8(text, wcsnlen(text, N));
}

AdapterId FromLuid(const LUID& luid) { return {luid.LowPart, luid.HighPart}; }
LUID ToLuid(const AdapterId& adapter) { return {adapter.low, adapter.high}; }
Rational FromRational(const DISPLAYCONFIG_RATIONAL& r) { return {r.Numerator, r.Denominator}; }
DISPLAYCONFIG_RATIONAL ToRational(const Rational& r) { return {r.numerator, r.denominator}; }
PixelRect FromRect(const RECTL& r) { return {r.left, r.top, r.right, r.bottom}; }
RECTL ToRect(const PixelRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// An index of a path, or kNoModeIndex where it holds "none" or lies past the modes.
int32_t ModeIndex(uint32_t index, uint32_t none, size_t mode_count) {
  return index == none || index >= mode_count ? kNoModeIndex : static_cast<int32_t>(index);
}

uint32_t HalfIndex(int32_t index) { return index == kNoModeIndex ? kNoHalfIndex : static_cast<uint32_t>(index); }

DisplayPath FromPath(const DISPLAYCONFIG_PATH_INFO& path, size_t mode_count) {
  const DISPLAYCONFIG_PATH_SOURCE_INFO& source = path.sourceInfo;
  const DISPLAYCONFIG_PATH_TARGET_INFO& target = path.targetInfo;
  DisplayPath out{};
  out.source_adapter = FromLuid(source.adapterId);
  out.source_id = source.id;
  out.source_status = source.statusFlags;
  out.target_adapter = FromLuid(target.adapterId);
  out.target_id = target.id;
  out.output_technology = static_cast<uint32_t>(target.outputTechnology);
  out.rotation = static_cast<uint32_t>(target.rotation);
  out.scaling = static_cast<uint32_t>(target.scaling);
  out.refresh = FromRational(target.refreshRate);
  out.scanline_ordering = static_cast<uint32_t>(target.scanLineOrdering);
  out.target_available = target.targetAvailable != FALSE;
  out.target_status = target.statusFlags;
  out.flags = path.flags;
  // Each path's indices follow its own flag, whatever the query asked.
  if ((path.flags & DISPLAYCONFIG_PATH_SUPPORT_VIRTUAL_MODE) != 0) {
    out.clone_group = source.cloneGroupId == DISPLAYCONFIG_PATH_CLONE_GROUP_INVALID
                          ? kNoModeIndex
                          : static_cast<int32_t>(source.cloneGroupId);
    out.source_mode = ModeIndex(source.sourceModeInfoIdx, DISPLAYCONFIG_PATH_SOURCE_MODE_IDX_INVALID, mode_count);
    out.target_mode = ModeIndex(target.targetModeInfoIdx, DISPLAYCONFIG_PATH_TARGET_MODE_IDX_INVALID, mode_count);
    out.desktop_mode = ModeIndex(target.desktopModeInfoIdx, DISPLAYCONFIG_PATH_DESKTOP_IMAGE_IDX_INVALID, mode_count);
  } else {
    out.clone_group = kNoModeIndex;
    out.source_mode = ModeIndex(source.modeInfoIdx, DISPLAYCONFIG_PATH_MODE_IDX_INVALID, mode_count);
    out.target_mode = ModeIndex(target.modeInfoIdx, DISPLAYCONFIG_PATH_MODE_IDX_INVALID, mode_count);
    out.desktop_mode = kNoModeIndex;
  }
  return out;
}

DISPLAYCONFIG_PATH_INFO ToPath(const DisplayPath& path) {
  DISPLAYCONFIG_PATH_INFO out{};
  DISPLAYCONFIG_PATH_SOURCE_INFO& source = out.sourceInfo;
  DISPLAYCONFIG_PATH_TARGET_INFO& target = out.targetInfo;
  source.adapterId = ToLuid(path.source_adapter);
  source.id = path.source_id;
  source.statusFlags = path.source_status;
  target.adapterId = ToLuid(path.target_adapter);
  target.id = path.target_id;
  target.outputTechnology = static_cast<DISPLAYCONFIG_VIDEO_OUTPUT_TECHNOLOGY>(path.output_technology);
  target.rotation = static_cast<DISPLAYCONFIG_ROTATION>(path.rotation);
  target.scaling = static_cast<DISPLAYCONFIG_SCALING>(path.scaling);
  target.refreshRate = ToRational(path.refresh);
  target.scanLineOrdering = static_cast<DISPLAYCONFIG_SCANLINE_ORDERING>(path.scanline_ordering);
  target.targetAvailable = path.target_available ? TRUE : FALSE;
  target.statusFlags = path.target_status;
  out.flags = path.flags;
  if ((path.flags & kPathVirtualMode) != 0) {
    source.cloneGroupId = HalfIndex(path.clone_group);
    source.sourceModeInfoIdx = HalfIndex(path.source_mode);
    target.desktopModeInfoIdx = HalfIndex(path.desktop_mode);
    target.targetModeInfoIdx = HalfIndex(path.target_mode);
  } else {
    source.modeInfoIdx = path.source_mode == kNoModeIndex ? DISPLAYCONFIG_PATH_MODE_IDX_INVALID
                                                          : static_cast<uint32_t>(path.source_mode);
    target.modeInfoIdx = path.target_mode == kNoModeIndex ? DISPLAYCONFIG_PATH_MODE_IDX_INVALID
                                                          : static_cast<uint32_t>(path.target_mode);
  }
  return out;
}

DisplayConfigMode FromMode(const DISPLAYCONFIG_MODE_INFO& mode) {
  DisplayConfigMode out{};
  out.kind = static_cast<ModeKind>(mode.infoType);
  out.id = mode.id;
  out.adapter = FromLuid(mode.adapterId);
  if (mode.infoType == DISPLAYCONFIG_MODE_INFO_TYPE_SOURCE) {
    out.width = mode.sourceMode.width;
    out.height = mode.sourceMode.height;
    out.pixel_format = static_cast<uint32_t>(mode.sourceMode.pixelFormat);
    out.x = mode.sourceMode.position.x;
    out.y = mode.sourceMode.position.y;
  } else if (mode.infoType == DISPLAYCONFIG_MODE_INFO_TYPE_TARGET) {
    const DISPLAYCONFIG_VIDEO_SIGNAL_INFO& signal = mode.targetMode.targetVideoSignalInfo;
    out.pixel_rate = signal.pixelRate;
    out.h_sync = FromRational(signal.hSyncFreq);
    out.v_sync = FromRational(signal.vSyncFreq);
    out.active_width = signal.activeSize.cx;
    out.active_height = signal.activeSize.cy;
    out.total_width = signal.totalSize.cx;
    out.total_height = signal.totalSize.cy;
    out.video_standard = signal.videoStandard;
    out.target_scanline_ordering = static_cast<uint32_t>(signal.scanLineOrdering);
  } else if (mode.infoType == DISPLAYCONFIG_MODE_INFO_TYPE_DESKTOP_IMAGE) {
    DISPLAYCONFIG_DESKTOP_IMAGE_INFO image{};
    std::memcpy(&image, &mode.targetMode, sizeof image);
    out.source_size_x = image.PathSourceSize.x;
    out.source_size_y = image.PathSourceSize.y;
    out.image_region = FromRect(image.DesktopImageRegion);
    out.image_clip = FromRect(image.DesktopImageClip);
  }
  return out;
}

DISPLAYCONFIG_MODE_INFO ToMode(const DisplayConfigMode& mode) {
  DISPLAYCONFIG_MODE_INFO out{};
  out.infoType = static_cast<DISPLAYCONFIG_MODE_INFO_TYPE>(mode.kind);
  out.id = mode.id;
  out.adapterId = ToLuid(mode.adapter);
  if (mode.kind == ModeKind::kSource) {
    out.sourceMode.width = mode.width;
    out.sourceMode.height = mode.height;
    out.sourceMode.pixelFormat = static_cast<DISPLAYCONFIG_PIXELFORMAT>(mode.pixel_format);
    out.sourceMode.position = {mode.x, mode.y};
  } else if (mode.kind == ModeKind::kTarget) {
    DISPLAYCONFIG_VIDEO_SIGNAL_INFO& signal = out.targetMode.targetVideoSignalInfo;
    signal.pixelRate = mode.pixel_rate;
    signal.hSyncFreq = ToRational(mode.h_sync);
    signal.vSyncFreq = ToRational(mode.v_sync);
    signal.activeSize = {mode.active_width, mode.active_height};
    signal.totalSize = {mode.total_width, mode.total_height};
    signal.videoStandard = mode.video_standard;
    signal.scanLineOrdering = static_cast<DISPLAYCONFIG_SCANLINE_ORDERING>(mode.target_scanline_ordering);
  } else if (mode.kind == ModeKind::kDesktopImage) {
    DISPLAYCONFIG_DESKTOP_IMAGE_INFO image{};
    image.PathSourceSize = {mode.source_size_x, mode.source_size_y};
    image.DesktopImageRegion = ToRect(mode.image_region);
    image.DesktopImageClip = ToRect(mode.image_clip);
    std::memcpy(&out.targetMode, &image, sizeof image);
  }
  return out;
}

template <typename Packet>
void Address(Packet* packet, DISPLAYCONFIG_DEVICE_INFO_TYPE type, const LUID& adapter, UINT32 id) {
  packet->header.type = type;
  packet->header.size = sizeof(Packet);
  packet->header.adapterId = adapter;
  packet->header.id = id;
}

// Which packets told a target's HDR state: the set must use their pair.
enum class HdrPackets { kNone, kAdvancedColor, kHdrState };

// The HDR state of a target: the packets of Windows 11 24H2 first, then the
// older advanced-colour ones. kNone, with the last code, when neither answers.
HdrPackets ReadHdr(const LUID& adapter, UINT32 target_id, bool* supported, bool* on, LONG* code) {
  AdvancedColorInfo2 info2{};
  Address(&info2, kGetAdvancedColorInfo2, adapter, target_id);
  *code = DisplayConfigGetDeviceInfo(&info2.header);
  if (*code == ERROR_SUCCESS) {
    *supported = (info2.value & kHdrSupportedBit) != 0;
    // The colour mode Windows drives the monitor in now; the user's switch
    // alone may be on while the monitor still runs SDR.
    *on = *supported && info2.active_color_mode == kActiveColorModeHdr;
    return HdrPackets::kHdrState;
  }
  DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO info{};
  Address(&info, DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO, adapter, target_id);
  *code = DisplayConfigGetDeviceInfo(&info.header);
  if (*code == ERROR_SUCCESS) {
    *supported = info.advancedColorSupported != 0;
    *on = info.advancedColorEnabled != 0;
    return HdrPackets::kAdvancedColor;
  }
  *supported = false;
  *on = false;
  return HdrPackets::kNone;
}

// What Windows knows of the monitor of `target`. A target whose name cannot
// be read (one going away, a driver that does not answer) is listed without
// it rather than failing the whole read; a refused access is the caller's.
LONG DescribeMonitor(const DISPLAYCONFIG_PATH_TARGET_INFO& target, MonitorTarget* monitor) {
  monitor->adapter = FromLuid(target.adapterId);
  monitor->target_id = target.id;
  DISPLAYCONFIG_TARGET_DEVICE_NAME name{};
  Address(&name, DISPLAYCONFIG_DEVICE_INFO_GET_TARGET_NAME, target.adapterId, target.id);
  const LONG status = DisplayConfigGetDeviceInfo(&name.header);
  if (status == ERROR_ACCESS_DENIED) return status;
  if (status == ERROR_SUCCESS) {
    monitor->device_path = Utf8(name.monitorDevicePath);
    // Without the flag the name is Windows' own ("Generic PnP Monitor").
    monitor->monitor_name = name.flags.friendlyNameFromEdid != 0 ? Utf8(name.monitorFriendlyDeviceName) : "";
    monitor->edid_ids_valid = name.flags.edidIdsValid != 0;
    monitor->manufacturer = monitor->edid_ids_valid ? ManufacturerFromWindowsId(name.edidManufactureId) : "";
    monitor->product_code = monitor->edid_ids_valid ? name.edidProductCodeId : 0;
  }
  // A target whose HDR state cannot be read cannot do HDR as far as we know.
  LONG hdr_code = ERROR_SUCCESS;
  ReadHdr(target.adapterId, target.id, &monitor->hdr_supported, &monitor->hdr_on, &hdr_code);
  return ERROR_SUCCESS;
}

// A source's GDI name; empty when it cannot be read.
LONG NameSource(const DISPLAYCONFIG_PATH_SOURCE_INFO& source, DisplaySource* named) {
  named->adapter = FromLuid(source.adapterId);
  named->source_id = source.id;
  DISPLAYCONFIG_SOURCE_DEVICE_NAME name{};
  Address(&name, DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME, source.adapterId, source.id);
  const LONG status = DisplayConfigGetDeviceInfo(&name.header);
  if (status == ERROR_ACCESS_DENIED) return status;
  if (status == ERROR_SUCCESS) named->gdi_name = Utf8(name.viewGdiDeviceName);
  return ERROR_SUCCESS;
}

// The monitor of every available target (its first path) and the name of
// every active path's source, into `config`.
LONG DescribeTargetsAndSources(const std::vector<DISPLAYCONFIG_PATH_INFO>& paths, DisplayConfig* config) {
  for (const DISPLAYCONFIG_PATH_INFO& path : paths) {
    const AdapterId target_adapter = FromLuid(path.targetInfo.adapterId);
    bool listed = path.targetInfo.targetAvailable == FALSE;
    for (const MonitorTarget& monitor : config->monitors) {
      listed = listed || (monitor.adapter == target_adapter && monitor.target_id == path.targetInfo.id);
    }
    if (!listed) {
      MonitorTarget monitor{};
      const LONG status = DescribeMonitor(path.targetInfo, &monitor);
      if (status != ERROR_SUCCESS) return status;
      config->monitors.push_back(monitor);
    }
    const AdapterId source_adapter = FromLuid(path.sourceInfo.adapterId);
    bool named = (path.flags & DISPLAYCONFIG_PATH_ACTIVE) == 0;
    for (const DisplaySource& source : config->sources) {
      named = named || (source.adapter == source_adapter && source.source_id == path.sourceInfo.id);
    }
    if (!named) {
      DisplaySource source{};
      const LONG status = NameSource(path.sourceInfo, &source);
      if (status != ERROR_SUCCESS) return status;
      if (!source.gdi_name.empty()) config->sources.push_back(source);
    }
  }
  return ERROR_SUCCESS;
}

}  // namespace

DisplayCallResult ReadDisplayConfig(DisplayConfig* config) {
  // Windows before 10 and Wine refuse the virtual-mode convention as a bad
  // parameter, at the sizes or at the query: then the plain one is used. A
  // monitor arriving or leaving between the calls changes the sizes: that is
  // kChanging, which the caller asks again after a pause, since Windows
  // answers so for as long as the arrival takes.
  for (const bool virtual_mode_aware : {true, false}) {
    const UINT32 flags = QDC_ALL_PATHS | (virtual_mode_aware ? QDC_VIRTUAL_MODE_AWARE : 0);
    UINT32 path_count = 0;
    UINT32 mode_count = 0;
    std::vector<DISPLAYCONFIG_PATH_INFO> paths;
    std::vector<DISPLAYCONFIG_MODE_INFO> modes;
    LONG status = GetDisplayConfigBufferSizes(flags, &path_count, &mode_count);
    if (status == ERROR_SUCCESS) {
      // Never empty arrays: Windows takes a missing array for a bad parameter.
      paths.resize(path_count > 0 ? path_count : 1);
      modes.resize(mode_count > 0 ? mode_count : 1);
      path_count = static_cast<UINT32>(paths.size());
      mode_count = static_cast<UINT32>(modes.size());
      status = QueryDisplayConfig(flags, &path_count, paths.data(), &mode_count, modes.data(), nullptr);
    }
    if (status == ERROR_INVALID_PARAMETER && virtual_mode_aware) continue;
    if (status != ERROR_SUCCESS) return FromError(status);
    paths.resize(path_count);
    modes.resize(mode_count);

    DisplayConfig read{};
    read.virtual_mode_aware = virtual_mode_aware;
    for (const DISPLAYCONFIG_PATH_INFO& path : paths) read.paths.push_back(FromPath(path, modes.size()));
    for (const DISPLAYCONFIG_MODE_INFO& mode : modes) read.modes.push_back(FromMode(mode));
    status = DescribeTargetsAndSources(paths, &read);
    if (status != ERROR_SUCCESS) return FromError(status);
    *config = std::move(read);
    return Done();
  }
  return FromError(ERROR_INVALID_PARAMETER);
}

DisplayCallResult ApplyDisplayConfig(const DisplayConfig& config) {
  DisplayConfig applied{};
  uint32_t flags = 0;
  if (!PlanDisplayApply(config, &applied, &flags)) return FromError(ERROR_INVALID_PARAMETER);
  std::vector<DISPLAYCONFIG_PATH_INFO> paths;
  for (const DisplayPath& path : applied.paths) paths.push_back(ToPath(path));
  std::vector<DISPLAYCONFIG_MODE_INFO> modes;
  for (const DisplayConfigMode& mode : applied.modes) modes.push_back(ToMode(mode));
  const auto path_count = static_cast<UINT32>(paths.size());
  const auto mode_count = static_cast<UINT32>(modes.size());
  DISPLAYCONFIG_MODE_INFO* const mode_array = modes.empty() ? nullptr : modes.data();
  const LONG valid = SetDisplayConfig(path_count, paths.data(), mode_count, mode_array, flags | SDC_VALIDATE);
  if (valid != ERROR_SUCCESS) return FromError(valid);
  return FromError(SetDisplayConfig(path_count, paths.data(), mode_count, mode_array, flags | SDC_APPLY));
}

DisplayCallResult ApplyRememberedDisplayConfig() {
  return FromError(SetDisplayConfig(0, nullptr, 0, nullptr, SDC_APPLY | SDC_USE_DATABASE_CURRENT));
}

DisplayCallResult ChangeSourceModes(const std::vector<SourceModeChange>& changes) {
  std::vector<std::wstring> names;
  std::vector<DEVMODEW> modes;
  for (const SourceModeChange& change : changes) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_POSITION;
    mode.dmPelsWidth = change.width;
    mode.dmPelsHeight = change.height;
    mode.dmPosition = {change.x, change.y};
    if (change.refresh_hz != 0) {
      mode.dmFields |= DM_DISPLAYFREQUENCY;
      mode.dmDisplayFrequency = change.refresh_hz;
    }
    names.push_back(WideFromUtf8(change.gdi_name));
    modes.push_back(mode);
    // Windows takes an empty name for the primary display.
    if (names.back().empty()) return FromError(ERROR_INVALID_PARAMETER);
  }
  // Each mode is tested before any is set, so that one the display does not
  // offer changes nothing. Then they are set one by one for this session:
  // the way of setting several at once (CDS_NORESET, then one call) only
  // works through the registry, which would keep them for good.
  for (size_t i = 0; i < modes.size(); ++i) {
    const LONG tested = ChangeDisplaySettingsExW(names[i].c_str(), &modes[i], nullptr, CDS_TEST, nullptr);
    if (tested != DISP_CHANGE_SUCCESSFUL) return {DisplayCallStatus::kFailed, static_cast<int32_t>(tested)};
  }
  for (size_t i = 0; i < modes.size(); ++i) {
    const LONG set = ChangeDisplaySettingsExW(names[i].c_str(), &modes[i], nullptr, 0, nullptr);
    if (set != DISP_CHANGE_SUCCESSFUL) return {DisplayCallStatus::kFailed, static_cast<int32_t>(set)};
  }
  return Done();
}

DisplayCallResult ListOfferedModes(const std::string& gdi_name, std::vector<OfferedMode>* modes) {
  const std::wstring name = WideFromUtf8(gdi_name);
  if (name.empty()) return FromError(ERROR_INVALID_PARAMETER);  // Windows would list the primary display's
  std::vector<OfferedMode> offered;
  DWORD number = 0;
  for (;; ++number) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsExW(name.c_str(), number, &mode, 0)) break;
    const OfferedMode found{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmDisplayFrequency};
    bool listed = false;
    for (const OfferedMode& known : offered) {
      listed = listed || (known.width == found.width && known.height == found.height &&
                          known.refresh_hz == found.refresh_hz);
    }
    if (!listed) offered.push_back(found);
  }
  if (number == 0) {
    // Windows sets no code for a name it does not know.
    const DWORD code = GetLastError();
    return FromError(code != ERROR_SUCCESS ? static_cast<LONG>(code) : ERROR_INVALID_PARAMETER);
  }
  *modes = std::move(offered);
  return Done();
}

DisplayCallResult SetMonitorHdr(const AdapterId& adapter, uint32_t target_id, bool on) {
  // The set goes with the packets that read the state; a target whose state
  // cannot be read is not asked. Wine 8 lacks DisplayConfigSetDeviceInfo
  // altogether (a call would end the process), so it is looked up.
  const LUID luid = ToLuid(adapter);
  bool supported = false;
  bool was_on = false;
  LONG code = ERROR_SUCCESS;
  const HdrPackets packets = ReadHdr(luid, target_id, &supported, &was_on, &code);
  if (packets == HdrPackets::kNone) return FromError(code);
  using SetDeviceInfo = LONG(WINAPI*)(DISPLAYCONFIG_DEVICE_INFO_HEADER*);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), "DisplayConfigSetDeviceInfo");
  if (found == nullptr) return FromError(ERROR_PROC_NOT_FOUND);
  const auto set = reinterpret_cast<SetDeviceInfo>(reinterpret_cast<void (*)()>(found));
  if (packets == HdrPackets::kHdrState) {
    SetHdrState packet{};
    Address(&packet, kSetHdrState, luid, target_id);
    packet.value = on ? kEnableHdrBit : 0;
    return FromError(set(&packet.header));
  }
  DISPLAYCONFIG_SET_ADVANCED_COLOR_STATE packet{};
  Address(&packet, DISPLAYCONFIG_DEVICE_INFO_SET_ADVANCED_COLOR_STATE, luid, target_id);
  packet.enableAdvancedColor = on ? 1 : 0;
  return FromError(set(&packet.header));
}
