#include <windows.h>

#include "platform/pipe.h"

namespace {

HANDLE Handle(PipeConnection connection) { return reinterpret_cast<HANDLE>(connection.handle); }

DWORD MillisecondsLeft(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits for the overlapped call that returned `started` until `deadline`, and
// cancels it then. `moved` gets what it moved; false when it failed or was
// cancelled.
bool FinishWithin(HANDLE handle, OVERLAPPED* overlapped, BOOL started, ULONGLONG deadline, DWORD* moved,
                  bool* timed_out) {
  *moved = 0;
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  const DWORD waited = WaitForSingleObject(overlapped->hEvent, MillisecondsLeft(deadline));
  if (waited != WAIT_OBJECT_0) {
    CancelIo(handle);
    *timed_out = waited == WAIT_TIMEOUT;
  }
  // Waits for the cancellation too: the buffer is ours again after this.
  return GetOverlappedResult(handle, overlapped, moved, TRUE) != FALSE;
}

enum class Transfer { kWriteAll, kReadAll, kReadOnce };

// Writes or reads `size` bytes through overlapped calls until `timeout_ms` has
// passed, the peer went away, or a call failed; kReadOnce stops after one read.
PipeTransfer TransferWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms,
                            Transfer transfer) {
  const bool write = transfer == Transfer::kWriteAll;
  const HANDLE handle = Handle(connection);
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  PipeTransfer done{0, false};
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) return done;
  while (done.count < size && !done.timed_out) {
    const DWORD part = static_cast<DWORD>(size - done.count);
    const BOOL started = write ? WriteFile(handle, data + done.count, part, nullptr, &overlapped)
                               : ReadFile(handle, data + done.count, part, nullptr, &overlapped);
    DWORD moved = 0;
    const bool finished = FinishWithin(handle, &overlapped, started, deadline, &moved, &done.timed_out);
    done.count += moved;
    // A read that fails has met the end of the connection.
    if (!finished || moved == 0 || transfer == Transfer::kReadOnce) break;
  }
  CloseHandle(overlapped.hEvent);
  return done;
}

}  // namespace

std::string PipeEndpoint(const char* name) { return name; }

bool PipeExists(const char* name) {
  // Waiting a millisecond finds an instance or says why not; it never connects.
  if (WaitNamedPipeA(name, 1)) return true;
  return GetLastError() == ERROR_SEM_TIMEOUT;  // there, every instance busy
}

void ClosePipe(PipeConnection connection) { CloseHandle(Handle(connection)); }

PipeOpenResult OpenPipeWithin(const char* name, int32_t busy_ms, PipeConnection* connection, int32_t* error_code) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(busy_ms);
  for (;;) {
    // Overlapped, so that every write and read can be given up. Identification
    // level only: whoever serves the pipe name may learn who connects, but
    // cannot act as that user.
    const HANDLE handle =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      connection->handle = reinterpret_cast<intptr_t>(handle);
      return PipeOpenResult::kConnected;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return PipeOpenResult::kAbsent;
    if (code != ERROR_PIPE_BUSY) {
      *error_code = static_cast<int32_t>(code);
      return PipeOpenResult::kFailed;
    }
    const DWORD left = MillisecondsLeft(deadline);
    if (left == 0) {
      *error_code = static_cast<int32_t>(code);
      return PipeOpenResult::kBusy;
    }
    // Returns as soon as an instance is free; another client may still take it first.
    if (!WaitNamedPipeA(name, left)) {
      const DWORD wait_code = GetLastError();
      if (wait_code == ERROR_FILE_NOT_FOUND) return PipeOpenResult::kAbsent;
      if (wait_code != ERROR_SEM_TIMEOUT) Sleep(20);  // never a busy loop
    }
  }
}

PipeTransfer WriteToPipeWithin(PipeConnection connection, const uint8_t* data, size_t size, int32_t timeout_ms) {
  // The write only reads the buffer.
  return TransferWithin(connection, const_cast<uint8_t*>(data), size, timeout_ms, Transfer::kWriteAll);
}

PipeTransfer ReadFromPipeWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms) {
  return TransferWithin(connection, data, size, timeout_ms, Transfer::kReadAll);
}

PipeTransfer ReadOnceFromPipeWithin(PipeConnection connection, uint8_t* data, size_t size, int32_t timeout_ms) {
  return TransferWithin(connection, data, size, timeout_ms, Transfer::kReadOnce);
}
