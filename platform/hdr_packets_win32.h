// The HDR packets of DisplayConfigGetDeviceInfo / DisplayConfigSetDeviceInfo
// that Windows 11 24H2 added and Debian's mingw-w64 headers lack. There the
// older advanced-colour packets also report the colour management of SDR
// displays as "advanced colour", so these are asked first. Laid out as
// Microsoft's API reference documents them; the sizes are checked below.
#pragma once

#include <windows.h>

#include <cstddef>

inline constexpr auto kGetAdvancedColorInfo2 = static_cast<DISPLAYCONFIG_DEVICE_INFO_TYPE>(15);
inline constexpr auto kSetHdrState = static_cast<DISPLAYCONFIG_DEVICE_INFO_TYPE>(16);

// DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO_2.
struct AdvancedColorInfo2 {
  DISPLAYCONFIG_DEVICE_INFO_HEADER header;
  UINT32 value;  // the bits below
  UINT32 color_encoding;
  UINT32 bits_per_color_channel;
  UINT32 active_color_mode;  // 0 SDR, 1 wide colour, 2 HDR
};
inline constexpr UINT32 kAdvancedColorSupportedBit = 1u << 0;
inline constexpr UINT32 kAdvancedColorActiveBit = 1u << 1;
inline constexpr UINT32 kAdvancedColorLimitedByPolicyBit = 1u << 3;
inline constexpr UINT32 kHdrSupportedBit = 1u << 4;
inline constexpr UINT32 kHdrUserEnabledBit = 1u << 5;
inline constexpr UINT32 kWideColorSupportedBit = 1u << 6;
inline constexpr UINT32 kWideColorUserEnabledBit = 1u << 7;
inline constexpr UINT32 kActiveColorModeHdr = 2;  // active_color_mode

// DISPLAYCONFIG_SET_HDR_STATE.
struct SetHdrState {
  DISPLAYCONFIG_DEVICE_INFO_HEADER header;
  UINT32 value;  // bit 0: HDR on
};
inline constexpr UINT32 kEnableHdrBit = 1u << 0;

static_assert(sizeof(DISPLAYCONFIG_DEVICE_INFO_HEADER) == 20);
static_assert(offsetof(AdvancedColorInfo2, value) == 20 && offsetof(AdvancedColorInfo2, active_color_mode) == 32);
static_assert(sizeof(AdvancedColorInfo2) == 36);
static_assert(sizeof(SetHdrState) == 24);
// The older packets, which the headers have, as the reference documents them.
static_assert(sizeof(DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO) == 32);
static_assert(sizeof(DISPLAYCONFIG_SET_ADVANCED_COLOR_STATE) == 24);
