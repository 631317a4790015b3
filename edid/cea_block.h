// The CEA-861 extension block: HDMI and audio, read within the loaded image.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/edid_image.h"

inline constexpr uint8_t kCeaExtensionTag = 0x02;
inline constexpr uint32_t kHdmiOui = 0x000C03;

// Offset of the first CEA-861 block among the extension blocks that byte
// 126 counts and that were loaded, or -1. Prints "NO CEA extension" when
// byte 126 counts none.
int32_t FindCeaExtension(const EdidImage& image, std::FILE* out);

// True when the first vendor-specific data block carries the HDMI OUI.
bool IsHdmiSink(const EdidImage& image, int32_t cea_offset);

// Prints the HDMI line.
void PrintHdmiSupport(const EdidImage& image, std::FILE* out);

// Prints the basic audio line, the audio format lines or the no-audio line.
void PrintAudioSupport(const EdidImage& image, std::FILE* out);
