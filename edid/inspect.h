// Testing, reporting and patching one loaded EDID image.
#pragma once

#include "edid/edid_image.h"
#include "platform/console.h"

// Runs the checksum and header tests, prints the monitor report, applies the
// identity patch in place and appends every detailed timing to `timings`
// (which it clears first). Returns true when a test failed.
bool InspectEdid(EdidImage& image, TimingTable& timings, const Console& console);
