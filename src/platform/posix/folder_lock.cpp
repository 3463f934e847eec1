#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/exceptions.h"

namespace kel {

FolderLock::~FolderLock() {
  // Closing the folder's descriptor releases the lock.
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : state_(other.state_), error_number_(other.error_number_), handle_(other.handle_) {
  other.handle_ = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    state_ = other.state_;
    error_number_ = other.error_number_;
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

FolderLock FolderLock::TryAcquire(const std::string& folder) noexcept {
  FolderLock lock;
  if (folder.find('\0') != std::string::npos) {
    lock.error_number_ = 3;
    return lock;
  }
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    lock.error_number_ = ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
    return lock;
  }
  // flock belongs to this open description: a second open of the folder, in this process or
  // another, is refused as well.
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    lock.state_ = State::kLocked;
    lock.handle_ = fd;
    return lock;
  }
  const int err = errno;
  ::close(fd);
  if (err == EWOULDBLOCK) {
    lock.state_ = State::kBusy;
  } else if (err == EOPNOTSUPP || err == ENOLCK || err == EINVAL || err == ENOSYS) {
    lock.state_ = State::kUnsupported;
  } else {
    lock.error_number_ = ErrorNumberFromErrno(err);
  }
  return lock;
}

}  // namespace kel
