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
// such a write must fail quietly instead of ending the process.
void PrepareProcess();
