#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/file_lock.h"

namespace {

int Descriptor(LockedFile file) { return static_cast<int>(file.handle); }

// A holder keeps it for a few milliseconds: ask again this often.
constexpr std::chrono::milliseconds kRetryPause{10};

}  // namespace

FileLockResult LockFileWithin(const char* path, bool create, int32_t wait_ms, LockedFile* file, int32_t* error_code) {
  const int fd = open(path, O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
  if (fd < 0) {
    *error_code = errno;
    return FileLockResult::kFailed;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      file->handle = fd;
      return FileLockResult::kLocked;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      *error_code = errno;
      close(fd);
      return FileLockResult::kFailed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return FileLockResult::kBusy;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}

bool ReadLockedFile(LockedFile file, std::string* text) {
  const int fd = Descriptor(file);
  if (lseek(fd, 0, SEEK_SET) != 0) return false;
  std::string read;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    read.append(buffer, static_cast<size_t>(got));
  }
  *text = std::move(read);
  return true;
}

bool RewriteLockedFile(LockedFile file, const std::string& text) {
  const int fd = Descriptor(file);
  if (lseek(fd, 0, SEEK_SET) != 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return ftruncate(fd, static_cast<off_t>(text.size())) == 0;
}

void UnlockFile(LockedFile file) {
  const int fd = Descriptor(file);
  flock(fd, LOCK_UN);
  close(fd);
}
