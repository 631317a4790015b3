#include <windows.h>

#include "platform/pipe.h"

namespace {

HANDLE Handle(PipeConnection connection) { return reinterpret_cast<HANDLE>(connection.handle); }

}  // namespace

std::string PipeEndpoint(const char* name) { return name; }

bool WaitForPipe(const char* name) {
  // Time-out 0: the default time-out the driver gave its pipe.
  return WaitNamedPipeA(name, 0) != FALSE;
}

bool ConnectToPipe(const char* name, PipeConnection* connection, int32_t* error_code) {
  // Identification level only: whoever serves the pipe name may learn who
  // connects, but cannot act as that user.
  const HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                    nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error_code = static_cast<int32_t>(GetLastError());
    return false;
  }
  connection->handle = reinterpret_cast<intptr_t>(handle);
  return true;
}

void WriteToPipe(PipeConnection connection, const uint8_t* data, size_t size) {
  DWORD written = 0;
  WriteFile(Handle(connection), data, static_cast<DWORD>(size), &written, nullptr);
}

int32_t ReadFromPipe(PipeConnection connection, uint8_t* data, size_t size) {
  DWORD got = 0;
  ReadFile(Handle(connection), data, static_cast<DWORD>(size), &got, nullptr);
  return static_cast<int32_t>(got);
}

void ClosePipe(PipeConnection connection) { CloseHandle(Handle(connection)); }
