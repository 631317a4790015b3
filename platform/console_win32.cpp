#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "platform/console.h"

namespace {

// The console's output code page before this run; 0 while it is unchanged.
volatile UINT g_previous_output_code_page = 0;

void RestoreConsoleCodePage() {
  const UINT previous = g_previous_output_code_page;
  if (previous != 0) {
    g_previous_output_code_page = 0;
    SetConsoleOutputCP(previous);
  }
}

// Ctrl+C, Ctrl+Break, a closed window: put the code page back, then let the
// default handling end the process as usual.
BOOL WINAPI OnConsoleControl(DWORD) {
  RestoreConsoleCodePage();
  return FALSE;
}

// With UTF-8 as the active code page every text the tool prints is UTF-8;
// a console shows it as such only while its output code page says so.
// Redirected output gets the bytes unchanged, so only a console is touched.
void UseUtf8Console() {
  if (GetACP() != CP_UTF8) return;
  DWORD mode = 0;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) return;
  const UINT previous = GetConsoleOutputCP();
  if (previous == 0 || previous == CP_UTF8) return;
  // Handlers first, so that no way out can leave the console switched.
  std::atexit(RestoreConsoleCodePage);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  g_previous_output_code_page = previous;
  if (!SetConsoleOutputCP(CP_UTF8)) g_previous_output_code_page = 0;
}

}  // namespace

Console StandardConsole() { return Console{stdout, stderr}; }

void PrepareProcess() {
  // A failure must be reported on the console, never in a dialog box that
  // waits for somebody to click it.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  UseUtf8Console();
}

bool WriteBinary(std::FILE* stream, const uint8_t* bytes, size_t size) {
  std::fflush(stream);
  if (_setmode(_fileno(stream), _O_BINARY) == -1) return false;
  return std::fwrite(bytes, 1, size, stream) == size && std::fflush(stream) == 0;
}
