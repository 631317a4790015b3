#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A file not yet whole is removed when SIGINT or SIGTERM ends the process.
// The handler runs only between CatchEndingSignals and ReleaseEndingSignals
// and reads the name only while g_unfinished_set says it is complete.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous_actions[2];
char g_unfinished[PATH_MAX];
volatile std::sig_atomic_t g_unfinished_set = 0;

// Async-signal-safe calls only. The signal is raised again with its default
// action, so the process ends as the signal would have ended it.
void RemoveUnfinishedAndEnd(int signal_number) {
  if (g_unfinished_set != 0) unlink(g_unfinished);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// A signal that the process ignores stays ignored: it would not end it.
void CatchEndingSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveUnfinishedAndEnd;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < 2; ++i) {
    if (sigaction(kEndingSignals[i], nullptr, &g_previous_actions[i]) == 0 &&
        g_previous_actions[i].sa_handler != SIG_IGN) {
      sigaction(kEndingSignals[i], &action, nullptr);
    }
  }
}

void ReleaseEndingSignals() {
  g_unfinished_set = 0;
  for (size_t i = 0; i < 2; ++i) sigaction(kEndingSignals[i], &g_previous_actions[i], nullptr);
}

// Names the file that an ending signal removes; the empty name, none. A name
// too long for the buffer is one that the system refuses anyway.
void MarkUnfinished(const std::string& name) {
  g_unfinished_set = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (name.empty() || name.size() >= sizeof g_unfinished) return;
  std::memcpy(g_unfinished, name.c_str(), name.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_unfinished_set = 1;
}

void RemoveUnfinished(const std::string& name) {
  MarkUnfinished("");
  unlink(name.c_str());
}

// False with errno ETIMEDOUT when a stream took nothing for kStreamPatienceMs.
bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t count = write(fd, bytes + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno == EAGAIN) {
      pollfd ready{fd, POLLOUT, 0};
      const int polled = poll(&ready, 1, kStreamPatienceMs);
      if (polled > 0) continue;
      if (polled == 0) errno = ETIMEDOUT;
      return false;
    }
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

// Opened without waiting: a FIFO without a reader fails with ENXIO at once.
WholeWriteResult WriteStream(const char* path, const uint8_t* bytes, size_t size) {
  const int fd = open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENXIO ? WholeWriteResult::kNoReader : WholeWriteResult::kFailed;
  struct stat status {};
  // Checked again on the open file, in case the name was swapped meanwhile.
  const bool stream = fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
  errno = 0;
  bool written = stream && WriteAll(fd, bytes, size);
  const int error = errno;
  written = close(fd) == 0 && written;
  if (written) return WholeWriteResult::kWritten;
  if (error == ETIMEDOUT) return WholeWriteResult::kStalled;
  return error == EPIPE ? WholeWriteResult::kReaderGone : WholeWriteResult::kFailed;
}

// Writes `bytes` into the new file `fd`, gives it the permissions a new file
// usually gets and flushes it to the disk; closes `fd`.
bool FillNewFile(int fd, const uint8_t* bytes, size_t size) {
  const mode_t mask = umask(0);
  umask(mask);
  bool written = WriteAll(fd, bytes, size);
  // FAT, exFAT and many SMB mounts give every file one mode and refuse to
  // change it: that mode is then the file's.
  struct stat status {};
  written = written && (fchmod(fd, 0666 & ~mask) == 0 || (fstat(fd, &status) == 0 && (status.st_mode & S_IRUSR) != 0));
  written = written && fsync(fd) == 0;
  return close(fd) == 0 && written;
}

// The answers of a rename that cannot refuse to replace on this file system.
bool IsUnsupported(int error) { return error == EINVAL || error == ENOSYS || error == EPERM || error == EOPNOTSUPP; }

// For file systems whose rename cannot refuse to replace: the file made
// where nothing exists, with no permissions until it is whole, so that only
// the superuser could read it half written; removed again on failure.
WholeWriteResult CreateExclusively(const std::string& target, const uint8_t* bytes, size_t size) {
  const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) return errno == EEXIST ? WholeWriteResult::kExists : WholeWriteResult::kFailed;
  MarkUnfinished(target);
  if (FillNewFile(fd, bytes, size)) return WholeWriteResult::kWritten;
  RemoveUnfinished(target);
  return WholeWriteResult::kFailed;
}

// A file of its own beside `target`, written whole, then renamed to it.
WholeWriteResult WriteBeside(const std::string& target, const uint8_t* bytes, size_t size, bool replace) {
  // A short name of its own, so that a target name of any legal length fits.
  std::string temporary = JoinPath(FolderOf(target), "velmorin-edid-XXXXXX.tmp");
  const int fd = mkstemps(temporary.data(), 4);
  if (fd < 0) return WholeWriteResult::kFailed;
  MarkUnfinished(temporary);
  if (!FillNewFile(fd, bytes, size)) {
    RemoveUnfinished(temporary);
    return WholeWriteResult::kFailed;
  }
  const int moved = replace ? std::rename(temporary.c_str(), target.c_str())
                            : renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  if (moved == 0) return WholeWriteResult::kWritten;
  const int error = errno;
  RemoveUnfinished(temporary);
  if (error == EEXIST) return WholeWriteResult::kExists;
  return !replace && IsUnsupported(error) ? CreateExclusively(target, bytes, size) : WholeWriteResult::kFailed;
}

// `path` is a symbolic link to nothing: opened without O_EXCL, the system
// follows it and makes the file it names, with no permissions until it is
// whole. Sets `appeared` when something else stands there by now: anything
// but an empty file, the only thing this open can have made. (Another
// program that made an empty file in the instant since the link was found
// dangling loses nothing.) Removed again on failure, the link staying.
WholeWriteResult WriteThroughLink(const char* path, const uint8_t* bytes, size_t size, bool* appeared) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) return errno == ELOOP ? WholeWriteResult::kLinkLoop : WholeWriteResult::kFailed;
  struct stat made {};
  if (fstat(fd, &made) != 0 || !S_ISREG(made.st_mode) || made.st_size != 0) {
    close(fd);
    *appeared = true;
    return WholeWriteResult::kExists;
  }
  char* resolved = realpath(path, nullptr);
  const std::string name = resolved == nullptr ? "" : resolved;
  std::free(resolved);
  MarkUnfinished(name);
  if (FillNewFile(fd, bytes, size)) return WholeWriteResult::kWritten;
  struct stat now {};
  if (!name.empty() && stat(name.c_str(), &now) == 0 && now.st_dev == made.st_dev && now.st_ino == made.st_ino) {
    RemoveUnfinished(name);
  }
  return WholeWriteResult::kFailed;
}

WholeWrite WriteToPath(const char* path, const uint8_t* bytes, size_t size, bool replace, int retries) {
  struct stat status {};
  if (stat(path, &status) != 0) {
    if (errno == ELOOP) return {WholeWriteResult::kLinkLoop, ""};
    // Only "does not exist" means that nothing is there.
    if (errno != ENOENT && errno != ENOTDIR) return {WholeWriteResult::kUnseen, std::strerror(errno)};
    struct stat entry {};
    const bool link = lstat(path, &entry) == 0 && S_ISLNK(entry.st_mode);
    bool appeared = false;
    CatchEndingSignals();
    const WholeWriteResult result =
        link ? WriteThroughLink(path, bytes, size, &appeared) : WriteBeside(path, bytes, size, replace);
    ReleaseEndingSignals();
    if (appeared && replace && retries > 0) return WriteToPath(path, bytes, size, replace, retries - 1);
    return {result, ""};
  }
  if (S_ISBLK(status.st_mode)) return {WholeWriteResult::kDisk, ""};
  if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)) {
    return {replace ? WriteStream(path, bytes, size) : WholeWriteResult::kStreamExists, ""};
  }
  if (!S_ISREG(status.st_mode)) return {WholeWriteResult::kNotAFile, ""};
  if (!replace) return {WholeWriteResult::kExists, ""};
  // A link's file is replaced where the system says it is; the link stays.
  struct stat entry {};
  std::string target = path;
  if (lstat(path, &entry) == 0 && S_ISLNK(entry.st_mode)) {
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) return {WholeWriteResult::kUnseen, std::strerror(errno)};
    target = resolved;
    std::free(resolved);
  }
  CatchEndingSignals();
  const WholeWriteResult result = WriteBeside(target, bytes, size, true);
  ReleaseEndingSignals();
  return {result, ""};
}

}  // namespace

WholeWrite WriteWholeFile(const char* path, const uint8_t* bytes, size_t size, bool replace) {
  return WriteToPath(path, bytes, size, replace, 1);
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

bool RemoveFile(const char* path) { return unlink(path) == 0 || errno == ENOENT; }
