// The display mode an EDID file's name asks for, as in 2560x1440x144.bin.
#pragma once

#include "edid/edid_image.h"

inline constexpr DisplayMode kDefaultDisplayMode = {1920, 1080, 60};

// Reads width, height and refresh from the start of the path's base name;
// any name that does not begin with all three gives kDefaultDisplayMode.
void ModeFromFileName(const char* path, DisplayMode& mode);
