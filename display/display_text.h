// What velmorin-display prints about displays: the listing, line by line
// or as JSON.
#pragma once

#include <string>
#include <vector>

#include "layout/display_list.h"

// One line of `list`, tab-separated so that names with spaces stay one
// field: GDI name, monitor name, mode (WIDTHxHEIGHTxREFRESH, the refresh to
// three decimals), position (X,Y), "primary", HDR ("hdr-on", "hdr-off" or
// "no-hdr"), device path. A field with nothing to show is "-".
std::string FormatDisplayLine(const DisplayRecord& record);

// The records as one JSON array, one object a line; "[]" for none.
std::string FormatDisplayJson(const std::vector<DisplayRecord>& records);
