// The folder listing: every collected file's report and its timing summary.
#pragma once

#include <cstdint>

#include "platform/console.h"

// Loads and inspects one file; when no test failed, prints one summary line
// per detailed timing. Returns 0 when nothing could be loaded, else 1.
int32_t ListEdidFile(const char* path, const Console& console);

// Walks the tree below `folder`, then lists every collected entry in order.
// A folder that cannot be enumerated is named on the complaint stream; the
// entries inside stay silent when they cannot be read.
void ListFolder(const char* folder, const Console& console);
