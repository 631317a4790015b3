// Opening EDID files and their copies without ever blocking on a special file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Opens `path` for binary reading when it names a regular file (links
// followed) and reports its size in bytes. Folders, FIFOs, devices and
// sockets are refused without blocking. Returns null on any failure.
std::FILE* OpenRegularFileForReading(const char* path, int64_t* size);

// Makes `path` a regular file holding exactly `bytes`, creating it when
// needed. An existing file is written over and then cut to `size`, which on
// most file systems is far cheaper than emptying it first. Refuses, without
// blocking, anything that exists and is not a regular file. False on failure.
bool ReplaceFileContents(const char* path, const uint8_t* bytes, size_t size);
