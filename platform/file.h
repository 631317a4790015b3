// Opening EDID files and their copies without ever blocking on a special file.
#pragma once

#include <cstdint>
#include <cstdio>

// Opens `path` for binary reading when it names a regular file (links
// followed) and reports its size in bytes. Folders, FIFOs, devices and
// sockets are refused without blocking. Returns null on any failure.
std::FILE* OpenRegularFileForReading(const char* path, int64_t* size);

// Creates or truncates `path` for binary writing. Refuses, without blocking,
// anything that exists and is not a regular file. Returns null on failure.
std::FILE* CreateFileForWriting(const char* path);
