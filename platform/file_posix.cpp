#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

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

namespace {

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t count = write(fd, bytes + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

}  // namespace

WholeWriteResult WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size, bool replace) {
  if (!replace && PathExists(path)) return WholeWriteResult::kExists;
  std::string temporary = std::string(path) + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return WholeWriteResult::kFailed;
  // mkstemp creates the file for its owner only; give it the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  bool written = fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, bytes, size) && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  WholeWriteResult result = WholeWriteResult::kFailed;
  if (written && replace) {
    if (rename(temporary.c_str(), path) == 0) return WholeWriteResult::kWritten;
  } else if (written) {
    // A hard link is made only where nothing exists, unlike a rename.
    if (link(temporary.c_str(), path) == 0) {
      result = WholeWriteResult::kWritten;
    } else if (errno == EEXIST) {
      result = WholeWriteResult::kExists;
    }
  }
  unlink(temporary.c_str());
  return result;
}

bool IsFolder(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const char* path) {
  struct stat status {};
  return lstat(path, &status) == 0;
}
