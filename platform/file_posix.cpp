#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/file.h"
#include "platform/path.h"

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

// Readers may take their time, but a FIFO or terminal that stops reading
// must not hold the program for ever.
constexpr int kStreamPatienceMs = 10000;
// As many links as the system follows before it calls the chain a loop.
constexpr int kMaxLinks = 40;

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t count = write(fd, bytes + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno == EAGAIN) {
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, kStreamPatienceMs) > 0) continue;
    }
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

// The path a chain of symbolic links at `path` ends at; `path` itself when
// it is no link. The end may not exist yet.
std::string LinkEnd(const std::string& path) {
  std::string end = path;
  for (int depth = 0; depth < kMaxLinks; ++depth) {
    struct stat status {};
    if (lstat(end.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
    char target[PATH_MAX];
    const ssize_t length = readlink(end.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) break;
    const std::string next(target, static_cast<size_t>(length));
    end = next.front() == '/' ? next : JoinPath(FolderOf(end), next);
  }
  return end;
}

// Opened without waiting: a FIFO without a reader fails with ENXIO at once.
WholeWriteResult WriteStream(const char* path, const uint8_t* bytes, size_t size) {
  const int fd = open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENXIO ? WholeWriteResult::kNoReader : WholeWriteResult::kFailed;
  struct stat status {};
  // Checked again on the open file, in case the name was swapped meanwhile.
  bool written = fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)) &&
                 WriteAll(fd, bytes, size);
  written = close(fd) == 0 && written;
  return written ? WholeWriteResult::kWritten : WholeWriteResult::kFailed;
}

WholeWriteResult WriteFileAtomically(const std::string& target, const uint8_t* bytes, size_t size, bool replace) {
  if (!replace && PathExists(target.c_str())) return WholeWriteResult::kExists;
  // A short name of its own, so that a target name of any legal length fits.
  std::string temporary = JoinPath(FolderOf(target), "velmorin-edid-XXXXXX.tmp");
  const int fd = mkstemps(temporary.data(), 4);
  if (fd < 0) return WholeWriteResult::kFailed;
  // mkstemps creates the file for its owner only; give it the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  bool written = fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, bytes, size) && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  WholeWriteResult result = WholeWriteResult::kFailed;
  if (written && replace) {
    if (rename(temporary.c_str(), target.c_str()) == 0) return WholeWriteResult::kWritten;
  } else if (written) {
    // A hard link is made only where nothing exists, unlike a rename.
    if (link(temporary.c_str(), target.c_str()) == 0) {
      result = WholeWriteResult::kWritten;
    } else if (errno == EEXIST) {
      result = WholeWriteResult::kExists;
    }
  }
  unlink(temporary.c_str());
  return result;
}

}  // namespace

WholeWriteResult WriteWholeFile(const char* path, const uint8_t* bytes, size_t size, bool replace) {
  struct stat status {};
  const bool found = stat(path, &status) == 0;
  if (!found && errno == ELOOP) return WholeWriteResult::kLinkLoop;
  // A file, or nothing yet (a link to nothing included): written where the links end.
  if (!found || S_ISREG(status.st_mode)) return WriteFileAtomically(LinkEnd(path), bytes, size, replace);
  if (S_ISBLK(status.st_mode)) return WholeWriteResult::kDisk;
  if (!S_ISFIFO(status.st_mode) && !S_ISCHR(status.st_mode)) return WholeWriteResult::kNotAFile;
  if (!replace) return WholeWriteResult::kStreamExists;
  return WriteStream(path, bytes, size);
}

bool MakeFolders(const char* path) {
  const std::string folder = path;
  for (size_t cut = folder.find('/', 1); cut != std::string::npos; cut = folder.find('/', cut + 1)) {
    const std::string above = folder.substr(0, cut);
    if (!IsFolder(above.c_str()) && mkdir(above.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  if (!IsFolder(path)) mkdir(path, 0777);
  return IsFolder(path);
}

bool IsFolder(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const char* path) {
  struct stat status {};
  return lstat(path, &status) == 0;
}
