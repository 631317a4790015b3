// Where the tool writes: the report stream and the complaint stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct Console {
  std::FILE* out;  // the report, the size lines, the driver exchange
  std::FILE* err;  // the header complaints and the copy-write warning
};

// Standard output and standard error.
Console StandardConsole();

// Makes the process safe to write to a vanished reader or a closed stream:
// such a write must fail quietly instead of ending the process. On Windows,
// when standard output is a console and the texts are UTF-8, the console
// shows UTF-8 for the run and gets its code page back on every way out;
// Ctrl+C, Ctrl+Break or a closed console ends the process at once with the
// usual status 0xC000013A, without exit-time work that could hang.
void PrepareProcess();

// Writes `bytes` to `stream` exactly as they are and flushes it; on Windows
// the stream leaves text mode first, which would turn each LF into CR LF.
// False when not all of them were written.
bool WriteBinary(std::FILE* stream, const uint8_t* bytes, size_t size);
