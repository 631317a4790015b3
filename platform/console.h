// Where the tool writes: the report stream and the complaint stream.
#pragma once

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
// shows UTF-8 for the run and gets its code page back on every way out.
void PrepareProcess();
