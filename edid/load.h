// Loading an EDID file in binary form or hexadecimal text form.
#pragma once

#include <cstdint>

#include "edid/edid_image.h"
#include "platform/console.h"

// Loads `path` into `image` and returns the loaded length (also stored in
// image.length): a whole number of 128-byte blocks, or 0 when nothing was
// loaded. The form follows from the file size alone: a size that is a
// positive multiple of 128 is binary form, anything else hexadecimal text,
// whose converted bytes are also written beside the file as `path`.bin.
// When the file itself could not be read (it is no regular file, cannot be
// opened, its size is refused or a read fails) the loader prints nothing and
// sets `unreadable`, if given, so that a caller can name the file.
int32_t LoadEdidFile(const char* path, EdidImage& image, const Console& console, bool* unreadable = nullptr);
