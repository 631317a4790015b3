#include <windows.h>

#include "driver_link/messages.h"
#include "emulator/server.h"

namespace {

// The time a client's WaitNamedPipeA with time-out 0 waits for the instance.
constexpr DWORD kDefaultTimeoutMs = 2000;

HANDLE pipe = INVALID_HANDLE_VALUE;
HANDLE own_client = INVALID_HANDLE_VALUE;

std::string Failure(const char* what) {
  return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

}  // namespace

bool ServerSupportsOption(const std::string& option) { return option != "--stale"; }

bool OpenServer(bool inbound_only, std::string* error) {
  // The first instance or none: a pipe of that name already served by
  // anybody is never joined.
  DWORD access = (inbound_only ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_DUPLEX) | FILE_FLAG_FIRST_PIPE_INSTANCE;
  pipe = CreateNamedPipeA(kDriverPipeName, access, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                          1, 4096, 4096, kDefaultTimeoutMs, nullptr);
  if (pipe != INVALID_HANDLE_VALUE) return true;
  const DWORD code = GetLastError();
  if (code == ERROR_ACCESS_DENIED || code == ERROR_PIPE_BUSY) {
    *error = std::string("a driver already answers at ") + kDriverPipeName + "; it is left alone";
  } else {
    *error = Failure("CreateNamedPipeA");
  }
  return false;
}

bool AcceptClient(std::string* error) {
  if (ConnectNamedPipe(pipe, nullptr)) return true;
  DWORD code = GetLastError();
  // Connected before we asked, or connected and already gone: both are a client.
  if (code == ERROR_PIPE_CONNECTED || code == ERROR_NO_DATA) return true;
  *error = Failure("ConnectNamedPipe");
  return false;
}

size_t ReadFromClient(uint8_t* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    DWORD n = 0;
    if (!ReadFile(pipe, data + got, static_cast<DWORD>(size - got), &n, nullptr) || n == 0) break;
    got += n;
  }
  return got;
}

void WriteToClient(const uint8_t* data, size_t size) {
  DWORD written = 0;
  WriteFile(pipe, data, static_cast<DWORD>(size), &written, nullptr);
}

void EndClient() {
  FlushFileBuffers(pipe);
  DisconnectNamedPipe(pipe);
}

void CloseServer() { CloseHandle(pipe); }

void AbandonServer() {}

bool OccupyServer(std::string* error) {
  own_client = CreateFileA(kDriverPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (own_client == INVALID_HANDLE_VALUE) *error = Failure("CreateFileA on our own pipe");
  return own_client != INVALID_HANDLE_VALUE;
}

void FreeServer() {
  if (own_client == INVALID_HANDLE_VALUE) return;
  CloseHandle(own_client);
  own_client = INVALID_HANDLE_VALUE;
  // The instance listens again at the next ConnectNamedPipe, which wakes the
  // clients that wait for it.
  DisconnectNamedPipe(pipe);
}

bool LeaveStaleServer(std::string* error) {
  *error = "--stale is not supported on this platform";
  return false;
}
