#include "platform/file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "platform/posix/statx_status.h"

namespace kel {
namespace {

// The descriptor File keeps in its handle field.
int Fd(intptr_t handle) { return static_cast<int>(handle); }

int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kRead:
      return O_RDONLY;
    case OpenMode::kReadEntry:
      return O_RDONLY | O_NOFOLLOW | O_NOATIME;
    case OpenMode::kReadWrite:
      return O_RDWR;
    case OpenMode::kCreate:
      return O_RDWR | O_CREAT | O_TRUNC;
    case OpenMode::kCreateNew:
    case OpenMode::kCreateHidden:
      // O_EXCL also fails on a link standing at the path, dangling or not.
      return O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
  }
  return O_RDONLY;
}

// A write past RLIMIT_FSIZE would otherwise end the process with SIGXFSZ; with the signal
// ignored it fails with EFBIG and is reported as a full disk. A handler the program installed
// itself is left alone.
void IgnoreFileSizeSignalOnce() noexcept {
  static const bool done = [] {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
        (current.sa_flags & SA_SIGINFO) == 0)
      signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)done;
}

}  // namespace

File::~File() { TryClose(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    TryClose();
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

File File::Open(const std::string& path, OpenMode mode) {
  int error_number = 0;
  File file = TryOpen(path, mode, error_number);
  if (!file.IsOpen()) {
    EInOutError error(error_number);
    error.SetReasonPath(path);
    throw error;
  }
  return file;
}

namespace {

// open() of `path` without hanging on a FIFO: O_NONBLOCK, taken off again by TakeOffNonBlock
// for anything but a regular file (which ignores it). -1 with `error_number` set on failure.
int OpenDescriptor(const std::string& path, OpenMode mode, int& error_number) noexcept {
  // A zero byte would silently cut the name the system sees.
  if (path.find('\0') != std::string::npos) {
    error_number = 3;
    return -1;
  }
  int fd;
  int flags = OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK;
  do {
    fd = ::open(path.c_str(), flags, 0666);
    // O_NOATIME is for the file's owner only; others read it with the access time kept as the
    // system keeps it.
    if (fd < 0 && errno == EPERM && (flags & O_NOATIME) != 0) {
      flags &= ~O_NOATIME;
      errno = EINTR;
    }
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) error_number = ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
  return fd;
}

void TakeOffNonBlock(int fd) noexcept {
  const int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

File File::TryOpen(const std::string& path, OpenMode mode, int& error_number) noexcept {
  const int fd = OpenDescriptor(path, mode, error_number);
  if (fd < 0) return File();
  // A file made by O_EXCL is new and regular: nothing to check.
  if (mode == OpenMode::kCreateNew || mode == OpenMode::kCreateHidden) return File(fd);
  // open() lets a directory be opened for reading; as a file it is of no use, so refuse it as
  // the write modes do.
  struct stat st {};
  const bool known = fstat(fd, &st) == 0;
  if (known && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error_number = ErrorNumberFromErrno(EISDIR);
    return File();
  }
  if (mode == OpenMode::kReadEntry && (!known || !S_ISREG(st.st_mode))) {
    ::close(fd);
    error_number = 5;
    return File();
  }
  // Regular files ignore O_NONBLOCK; only other kinds need it taken off (two system calls
  // saved on every file a batch run opens).
  if (!known || !S_ISREG(st.st_mode)) TakeOffNonBlock(fd);
  return File(fd);
}

File File::TryOpen(const std::string& path, OpenMode mode, const std::string& name,
                   std::optional<FileStatus>& status, int& error_number) noexcept {
  status.reset();
  const int fd = OpenDescriptor(path, mode, error_number);
  if (fd < 0) return File();
  struct statx stx {};
  if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &stx) !=
      0) {
    error_number = ErrorNumberFromErrno(errno);
    ::close(fd);
    return File();
  }
  if (S_ISDIR(stx.stx_mode)) {
    ::close(fd);
    error_number = ErrorNumberFromErrno(EISDIR);
    return File();
  }
  if (!S_ISREG(stx.stx_mode)) TakeOffNonBlock(fd);
  try {
    status = StatusFromStatx(stx, name);
  } catch (...) {
    ::close(fd);
    error_number = 8;
    return File();
  }
  return File(fd);
}

int64_t File::TryRead(void* buffer, std::size_t count, int& error_number) noexcept {
  if (!IsOpen()) {
    error_number = ErrorNumberFromErrno(EBADF);
    return -1;
  }
  ssize_t n;
  do {
    n = ::read(Fd(handle_), buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) error_number = ErrorNumberFromErrno(errno);
  return n;
}

int64_t File::TryWrite(const void* buffer, std::size_t count, int& error_number) noexcept {
  if (!IsOpen()) {
    error_number = ErrorNumberFromErrno(EBADF);
    return 0;
  }
  IgnoreFileSizeSignalOnce();
  const char* bytes = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(Fd(handle_), bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing without an error has no room left.
      error_number = ErrorNumberFromErrno(n < 0 ? errno : ENOSPC);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::Read(void* buffer, std::size_t count) {
  int error_number = 0;
  const int64_t n = TryRead(buffer, count, error_number);
  if (n < 0) throw EInOutError(error_number);
  return n;
}

void File::Write(const void* buffer, std::size_t count) {
  int error_number = 0;
  if (TryWrite(buffer, count, error_number) != static_cast<int64_t>(count))
    throw EInOutError(error_number);
}

int64_t File::Size() const {
  struct stat st {};
  if (fstat(Fd(handle_), &st) != 0) RaiseLastOSError(errno);
  return st.st_size;
}

int64_t File::Position() const {
  const off_t pos = lseek(Fd(handle_), 0, SEEK_CUR);
  if (pos < 0) RaiseLastOSError(errno);
  return pos;
}

void File::Seek(int64_t offset) {
  if (lseek(Fd(handle_), offset, SEEK_SET) < 0) RaiseLastOSError(errno);
}

struct timespec File::ModificationTime() const {
  struct stat st {};
  if (fstat(Fd(handle_), &st) != 0) RaiseLastOSError(errno);
  return st.st_mtim;
}

std::optional<FileStatus> File::Status(const std::string& name, int& error_number) const noexcept {
  struct statx stx {};
  if (statx(Fd(handle_), "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME,
            &stx) != 0) {
    error_number = ErrorNumberFromErrno(errno);
    return std::nullopt;
  }
  return StatusFromStatx(stx, name);
}

void File::Close() {
  const int error_number = TryClose();
  if (error_number != 0) throw EInOutError(error_number);
}

bool File::TryTruncate(uint64_t size) noexcept {
  return IsOpen() && ::ftruncate(Fd(handle_), static_cast<off_t>(size)) == 0;
}

int File::TryClose() noexcept {
  if (!IsOpen()) return 0;
  const int fd = Fd(handle_);
  handle_ = kNoHandle;
  // Linux releases the descriptor even when close() fails; EINTR is no loss of data.
  if (::close(fd) != 0 && errno != EINTR) return ErrorNumberFromErrno(errno);
  return 0;
}

int TryReplaceFile(const std::string& from, const std::string& to) noexcept {
  if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos) return 3;
  // Into a free name in one step; only where something stands there is it looked at first.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EEXIST && errno != EINVAL && errno != ENOSYS)
    return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
  // A device node is no output of ours, whatever its name: replacing /dev/full or a disk's node
  // would break the system for everyone.
  struct stat standing {};
  if (::lstat(to.c_str(), &standing) == 0 &&
      (S_ISCHR(standing.st_mode) || S_ISBLK(standing.st_mode)))
    return 5;
  // rename() replaces the entry at `to` itself: a link is replaced, not followed.
  if (::rename(from.c_str(), to.c_str()) == 0) return 0;
  return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
}

int TryRemoveEntry(const std::string& path) noexcept {
  if (path.find('\0') != std::string::npos) return 3;
  // unlink() removes a link itself and refuses a folder.
  if (::unlink(path.c_str()) == 0) return 0;
  return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
}

}  // namespace kel
