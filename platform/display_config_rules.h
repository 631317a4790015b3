// The display layer's rules that need no Windows to run: how Windows packs
// an EDID manufacturer, what an apply hands to Windows, and where a POSIX
// build keeps velmorin-display's state. Compiled on every build, so that the
// unit tests pin them on both.
#pragma once

#include <cstdint>
#include <string>

#include "platform/display_config.h"

// SetDisplayConfig's flags as Windows defines them.
inline constexpr uint32_t kApplySuppliedConfig = 0x20;      // SDC_USE_SUPPLIED_DISPLAY_CONFIG
inline constexpr uint32_t kApplyValidate = 0x40;            // SDC_VALIDATE
inline constexpr uint32_t kApplyNow = 0x80;                 // SDC_APPLY
inline constexpr uint32_t kApplySaveToDatabase = 0x200;     // SDC_SAVE_TO_DATABASE: never, the layouts are temporary
inline constexpr uint32_t kApplyAllowChanges = 0x400;       // SDC_ALLOW_CHANGES
inline constexpr uint32_t kApplyVirtualModeAware = 0x8000;  // SDC_VIRTUAL_MODE_AWARE

// The three letters of an EDID manufacturer id as Windows reports it: the
// EDID's big-endian word read as a little-endian one. A five-bit value that
// is no letter (0, 27 to 31) shows as '?'.
std::string ManufacturerFromWindowsId(uint16_t windows_id);

// What ApplyDisplayConfig hands to Windows for `config`: its active paths
// alone, in their order, and the modes they refer to, renumbered in the order
// first referred to; and the flags besides SDC_VALIDATE / SDC_APPLY. False,
// with nothing handed over, when there is no active path (that would switch
// every display off), when a path refers to a mode that is not there, or when
// a path of the virtual-mode convention comes in a configuration read without
// it (Windows would read its indices the other way).
bool PlanDisplayApply(const DisplayConfig& config, DisplayConfig* applied, uint32_t* flags);

// The POSIX state folder from VELMORIN_STATE_DIR, XDG_STATE_HOME and HOME
// (null when unset): the first when set and not empty, else the second's
// "velmorin" folder when it is an absolute path (a relative one is ignored,
// as the XDG base directories say), else HOME's ".local/state/velmorin";
// empty when none of them gives a folder.
std::string ChooseStateFolder(const char* state_dir, const char* xdg_state_home, const char* home);
