#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::FILE* CreateFileForWriting(const char* path) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ftruncate(fd, 0) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
}
