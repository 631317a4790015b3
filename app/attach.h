// The attach command: load an EDID file, report on it, and hand it to the driver.
#pragma once

#include <cstdint>

#include "platform/console.h"

// Returns 0 when nothing could be loaded, else 1, whatever the driver said.
int32_t AttachEdidFile(const char* path, const Console& console);
