#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"

std::FILE* OpenRegularFileForReading(const char* path, int64_t* size) {
  // Special files are never opened: opening a device can have effects of its own.
  struct stat named {};
  if (stat(path, &named) != 0 || !S_ISREG(named.st_mode)) return nullptr;
  // Non-blocking, in case the name was swapped for a FIFO in between; on a
  // regular file the flag changes nothing.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
    return nullptr;
  }
  *size = status.st_size;
  return file;
}

bool ReplaceFileContents(const char* path, const uint8_t* bytes, size_t size) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat status {};
  bool written = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  for (size_t done = 0; written && done < size;) {
    const ssize_t count = write(fd, bytes + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    written = count > 0;
    if (written) done += static_cast<size_t>(count);
  }
  written = written && ftruncate(fd, static_cast<off_t>(size)) == 0;
  return close(fd) == 0 && written;
}
