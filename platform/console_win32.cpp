#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "platform/console.h"

namespace {

// The console's output code page before this run; 0 while it is unchanged.
volatile UINT g_previous_output_code_page = 0;

static_assert(kConsoleCtrlC == CTRL_C_EVENT && kConsoleCtrlBreak == CTRL_BREAK_EVENT &&
              kConsoleClose == CTRL_CLOSE_EVENT && kConsoleLogoff == CTRL_LOGOFF_EVENT &&
              kConsoleShutdown == CTRL_SHUTDOWN_EVENT);

// The thread that runs main, opened so that a console event can stop it.
HANDLE g_main_thread = nullptr;
DWORD g_main_thread_id = 0;

// Held while the code page is switched, and for good by the console event
// that ends the process: the switch is never half done when it ends.
SRWLOCK g_switch_lock = SRWLOCK_INIT;

void RestoreConsoleCodePage() {
  const UINT previous = g_previous_output_code_page;
  if (previous != 0) {
    g_previous_output_code_page = 0;
    SetConsoleOutputCP(previous);
  }
}

// Returns once the main thread has stopped: GetThreadContext waits for the
// suspension to take effect, which it does only outside the system's own
// locked sections (under Wine too). What follows needs no lock it may hold.
void StopMainThread() {
  if (g_main_thread == nullptr || SuspendThread(g_main_thread) == static_cast<DWORD>(-1)) return;
  CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL;
  GetThreadContext(g_main_thread, &context);
}

// A normal end gives the code page back under the lock too: a console event
// at that moment must not find the switch half undone.
void RestoreConsoleCodePageAtExit() {
  AcquireSRWLockExclusive(&g_switch_lock);
  RestoreConsoleCodePage();
  ReleaseSRWLockExclusive(&g_switch_lock);
}

// Ctrl+C, Ctrl+Break, a closed window or shutdown ends the process here, with
// the status the default handling gives. That handling calls ExitProcess on
// this thread, which kills the main thread wherever it is (in the pipe wait,
// inside a write) and then runs exit-time work that can wait forever for a
// lock the killed thread held; under Wine it does. So EndProcessNow stops
// the main thread first and ends the process without exit-time work. A
// logoff is taken and ignored: passed on, the default handling would end the
// process.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (ConsoleEventEndsProcess(event)) EndProcessNow(static_cast<int>(STATUS_CONTROL_C_EXIT));
  return TRUE;
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
  std::atexit(RestoreConsoleCodePageAtExit);
  AcquireSRWLockExclusive(&g_switch_lock);
  g_previous_output_code_page = previous;
  if (!SetConsoleOutputCP(CP_UTF8)) g_previous_output_code_page = 0;
  ReleaseSRWLockExclusive(&g_switch_lock);
}

}  // namespace

Console StandardConsole() { return Console{stdout, stderr}; }

void PrepareProcess() {
  // A failure must be reported on the console, never in a dialog box that
  // waits for somebody to click it.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Before the code page changes, so that no way out can leave it switched.
  g_main_thread_id = GetCurrentThreadId();
  g_main_thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, g_main_thread_id);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  UseUtf8Console();
}

void EndProcessNow(int status) {
  // Held for good: the code page is switched by nobody after this.
  AcquireSRWLockExclusive(&g_switch_lock);
  RestoreConsoleCodePage();
  if (GetCurrentThreadId() != g_main_thread_id) StopMainThread();
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  std::_Exit(status);  // not reached: TerminateProcess does not return for its own process
}

bool WriteBinary(std::FILE* stream, const uint8_t* bytes, size_t size) {
  std::fflush(stream);
  if (_setmode(_fileno(stream), _O_BINARY) == -1) return false;
  return std::fwrite(bytes, 1, size, stream) == size && std::fflush(stream) == 0;
}

bool StandardOutputWasClosed() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  return out == nullptr || out == INVALID_HANDLE_VALUE;
}
