// Test helper for the Windows build: watches the console's output code page
// while the tool runs in the same console.
//
//   velmorin-console-check <console|redirected|interrupt> <result-file> <velmorin.exe>
//   velmorin-console-check timeout <result-file> <kovra-driver-emulator.exe>
//
// Sets the console to code page 850, occupies the driver pipe so that the
// tool's "/c 1" waits its 2 s for a busy pipe, runs it and
// polls the code page meanwhile. "redirected" gives the tool a file as its
// standard output; "interrupt" sends Ctrl+C once the tool has switched the
// console to UTF-8 and written its first line, so while it waits for the pipe.
// "timeout" runs the emulator with --timeout 2 instead, on the free pipe: its
// watchdog ends it with status 3.
// The result file gets one line:
//   saw_utf8=<0|1> after=<code page> exit=<exit code in hex>
// A tool still running after 30 s is ended here and reported so.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kPipeName[] = "\\\\.\\pipe\\kovra_idd_pipe";
constexpr UINT kStartCodePage = 850;

// The helper itself outlives the Ctrl+C it sends to the whole console.
BOOL WINAPI KeepRunning(DWORD) { return TRUE; }

bool FirstLineWritten() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) && info.dwCursorPosition.Y > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: velmorin-console-check <console|redirected|interrupt|timeout> <result-file> <program.exe>\n",
               stderr);
    return 2;
  }
  const std::string mode = argv[1];
  DWORD console_mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &console_mode) || !SetConsoleOutputCP(kStartCodePage)) {
    std::fputs("standard output is no console\n", stderr);
    return 1;
  }
  SetConsoleCtrlHandler(KeepRunning, TRUE);

  // One instance, held by our own client: a waiting client waits the time-out.
  const bool timeout = mode == "timeout";
  const HANDLE server = timeout ? nullptr
                                : CreateNamedPipeA(kPipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                                   4096, 3000, nullptr);
  const HANDLE occupant = timeout ? nullptr
                                  : CreateFileA(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (server == INVALID_HANDLE_VALUE || occupant == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot occupy the driver pipe: error %lu\n", GetLastError());
    return 1;
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  HANDLE output_file = INVALID_HANDLE_VALUE;
  if (mode == "redirected") {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::string output_path = std::string(argv[2]) + ".out";
    output_file = CreateFileA(output_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output_file;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  std::string command = std::string("\"") + argv[3] + (timeout ? "\" --timeout 2 --requests 1" : "\" /c 1");
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start %s: error %lu\n", argv[3], GetLastError());
    return 1;
  }
  bool saw_utf8 = false;
  bool interrupted = false;
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
    if (GetConsoleOutputCP() == CP_UTF8) saw_utf8 = true;
    if (saw_utf8 && mode == "interrupt" && !interrupted && FirstLineWritten()) {
      interrupted = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
    }
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  const UINT after = GetConsoleOutputCP();
  std::FILE* result = std::fopen(argv[2], "w");
  if (result == nullptr) return 1;
  if (exit_code == STILL_ACTIVE && TerminateProcess(process.hProcess, 1)) {
    std::fprintf(result, "saw_utf8=%d after=%u exit=none, still running after 30 s\n", saw_utf8 ? 1 : 0, after);
  } else {
    std::fprintf(result, "saw_utf8=%d after=%u exit=%lx\n", saw_utf8 ? 1 : 0, after, exit_code);
  }
  std::fclose(result);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (output_file != INVALID_HANDLE_VALUE) CloseHandle(output_file);
  if (!timeout) {
    CloseHandle(occupant);
    CloseHandle(server);
  }
  return 0;
}
