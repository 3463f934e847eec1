#include "platform/output_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/exceptions.h"

namespace kel {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// openat relative to the folder, again while a signal interrupts it.
int OpenAt(intptr_t folder, const char* name, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::openat(Fd(folder), name, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// A bare name: one entry of the folder, never a path into another.
bool IsEntryName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name)
    if (c == '/' || c == '\0') return false;
  return true;
}

OutputEntry EntryOf(const struct stat& st) {
  OutputEntry entry;
  if (S_ISREG(st.st_mode)) {
    entry.kind = OutputEntry::Kind::kRegular;
  } else if (S_ISLNK(st.st_mode)) {
    entry.kind = OutputEntry::Kind::kLink;
  } else if (S_ISDIR(st.st_mode)) {
    entry.kind = OutputEntry::Kind::kDirectory;
  }
  entry.links = static_cast<uint32_t>(st.st_nlink);
  entry.owned_by_user = st.st_uid == ::geteuid();
  entry.size = static_cast<uint64_t>(st.st_size);
  entry.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return entry;
}

}  // namespace

void OutputFolder::Close() noexcept {
  if (handle_ != kNoHandle) ::close(Fd(handle_));
  handle_ = kNoHandle;
  locked_ = false;
}

OutputFolder OutputFolder::TryOpen(const std::string& path, int& error_number) noexcept {
  OutputFolder folder;
  if (path.empty() || path.find('\0') != std::string::npos) {
    error_number = 3;
    return folder;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error_number = ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
    return folder;
  }
  try {
    folder.path_ = path.back() == '/' ? path : path + '/';
  } catch (...) {
    ::close(fd);
    error_number = 8;
    return folder;
  }
  folder.handle_ = fd;
  // An unnamed file is named through its /proc/self/fd link (linkat by descriptor alone needs
  // a privilege): without /proc, named temporaries.
  folder.unnamed_refused_ = ::access("/proc/self/fd", X_OK) != 0;
  return folder;
}

OutputFolder::LockState OutputFolder::TryLock(int& error_number) noexcept {
  if (!IsOpen()) {
    error_number = 6;
    return LockState::kFailed;
  }
  // flock belongs to this open description: a second open of the folder, in this process or
  // another, is refused as well.
  int result;
  do {
    result = ::flock(Fd(handle_), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    locked_ = true;
    return LockState::kLocked;
  }
  const int err = errno;
  if (err == EWOULDBLOCK) return LockState::kBusy;
  // NFS gives EBADF for a directory opened read-only, others ENOLCK or EOPNOTSUPP: all say
  // that this file system locks no folder.
  if (err == ENOLCK || err == EBADF || err == EOPNOTSUPP || err == EINVAL || err == ENOSYS)
    return LockState::kUnsupported;
  error_number = ErrorNumberFromErrno(err);
  return LockState::kFailed;
}

File OutputFolder::TryCreateNew(const std::string& name, bool /*hidden*/,
                                int& error_number) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) {
    error_number = IsOpen() ? 3 : 6;
    return File();
  }
  // O_EXCL also fails on a link standing at the name, dangling or not.
  const int fd =
      OpenAt(handle_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    error_number = ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
    return File();
  }
  return File(fd);
}

File OutputFolder::TryCreateUnnamed() const noexcept {
  if (!IsOpen() || unnamed_refused_) return File();
  // Without O_EXCL, so that TryLinkNew may name it.
  const int fd = OpenAt(handle_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) {
    // Refused by the file system (EOPNOTSUPP: FAT, NFS, CIFS) or the kernel, or failed: the
    // named temporary after it says what is wrong, if anything.
    unnamed_refused_ = true;
    return File();
  }
  return File(fd);
}

int OutputFolder::TryLinkNew(const File& file, const std::string& name) const noexcept {
  if (!IsOpen() || !file.IsOpen()) return 6;
  if (!IsEntryName(name)) return 3;
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", Fd(file.handle_));
  // linkat never replaces: EEXIST when any entry, a dangling link included, stands at `name`.
  if (::linkat(AT_FDCWD, link, Fd(handle_), name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
}

File OutputFolder::TryOpenRegular(const std::string& name, OutputEntry& entry,
                                  int& error_number) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) {
    error_number = IsOpen() ? 3 : 6;
    return File();
  }
  // O_NONBLOCK: a FIFO put there opens at once and is refused below.
  const int fd = OpenAt(handle_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // O_NOFOLLOW refuses a link with ELOOP: not a file of this folder.
    error_number = errno == ELOOP ? 5 : ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
    return File();
  }
  File file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error_number = ErrorNumberFromErrno(errno);
    return File();
  }
  if (!S_ISREG(st.st_mode)) {
    error_number = 5;
    return File();
  }
  entry = EntryOf(st);
  return file;
}

std::optional<OutputEntry> OutputFolder::TryEntry(const std::string& name,
                                                  int* error_number) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) {
    if (error_number != nullptr) *error_number = IsOpen() ? 3 : 6;
    return std::nullopt;
  }
  struct stat st {};
  if (::fstatat(Fd(handle_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (error_number != nullptr) *error_number = ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
    return std::nullopt;
  }
  return EntryOf(st);
}

std::optional<FileIdentity> OutputFolder::TryTargetIdentity(const std::string& name) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) return std::nullopt;
  struct stat st {};
  if (::fstatat(Fd(handle_), name.c_str(), &st, 0) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

int OutputFolder::TryReplace(const std::string& from, const std::string& to) const noexcept {
  if (!IsOpen()) return 6;
  if (!IsEntryName(from) || !IsEntryName(to)) return 3;
  const int fd = Fd(handle_);
  // Into a free name in one step; only where something stands there is it looked at first.
  if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EEXIST && errno != EINVAL && errno != ENOSYS)
    return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
  // A device node is no output of ours, whatever its name: replacing /dev/full or a disk's node
  // would break the system for everyone.
  struct stat standing {};
  if (::fstatat(fd, to.c_str(), &standing, AT_SYMLINK_NOFOLLOW) == 0 &&
      (S_ISCHR(standing.st_mode) || S_ISBLK(standing.st_mode)))
    return 5;
  // The entry at `to` itself is replaced: a link is replaced, not followed.
  if (::renameat(fd, from.c_str(), fd, to.c_str()) == 0) return 0;
  return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
}

int OutputFolder::TryRemove(const std::string& name) const noexcept {
  if (!IsOpen()) return 6;
  if (!IsEntryName(name)) return 3;
  // Without AT_REMOVEDIR, unlinkat removes a link itself and refuses a folder.
  if (::unlinkat(Fd(handle_), name.c_str(), 0) == 0) return 0;
  return ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
}

bool OutputFolder::TryRemoveIfSame(const std::string& name,
                                   const FileIdentity& identity) const noexcept {
  const std::optional<OutputEntry> entry = TryEntry(name);
  if (!entry || entry->kind != OutputEntry::Kind::kRegular || entry->identity != identity)
    return false;
  return TryRemove(name) == 0;
}

bool OutputFolder::TryList(std::vector<std::string>& names, int& error_number) const noexcept {
  names.clear();
  if (!IsOpen()) {
    error_number = 6;
    return false;
  }
  // A description of its own (not a dup, which would share the held one's position), owned by
  // the listing.
  const int fd = ::openat(Fd(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error_number = ErrorNumberFromErrno(errno);
    return false;
  }
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    error_number = ErrorNumberFromErrno(errno);
    ::close(fd);
    return false;
  }
  bool complete = true;
  try {
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        if (errno != 0) {
          error_number = ErrorNumberFromErrno(errno);
          complete = false;
        }
        break;
      }
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
  } catch (...) {
    error_number = 8;
    complete = false;
  }
  ::closedir(dir);
  return complete;
}

}  // namespace kel
