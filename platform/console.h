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

// The console events Windows passes a console handler, by their numbers there.
inline constexpr uint32_t kConsoleCtrlC = 0;
inline constexpr uint32_t kConsoleCtrlBreak = 1;
inline constexpr uint32_t kConsoleClose = 2;
inline constexpr uint32_t kConsoleLogoff = 5;
inline constexpr uint32_t kConsoleShutdown = 6;

// Whether the console event `event` ends the process. A logoff never does: a
// process that a service started hears every user's logoff, and one in the
// user's own session is ended by the system anyway.
constexpr bool ConsoleEventEndsProcess(uint32_t event) {
  return event == kConsoleCtrlC || event == kConsoleCtrlBreak || event == kConsoleClose || event == kConsoleShutdown;
}

// Ends the process at once with `status`, the way a console event does: on
// Windows the console's code page given back and no exit-time work, which
// could wait for ever for a lock another thread holds.
[[noreturn]] void EndProcessNow(int status);

// True when the process has no standard output of its own: it started with
// that stream closed, and PrepareProcess parked a stand-in there that
// swallows whatever is written to it.
bool StandardOutputWasClosed();

// Writes `bytes` to `stream` exactly as they are and flushes it; on Windows
// the stream leaves text mode first, which would turn each LF into CR LF.
// False when not all of them were written.
bool WriteBinary(std::FILE* stream, const uint8_t* bytes, size_t size);
