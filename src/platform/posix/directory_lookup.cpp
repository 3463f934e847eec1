#include "platform/directory_lookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <string_view>

#include "platform/exceptions.h"
#include "platform/posix/statx_status.h"

namespace kel {

struct DirectoryLookup::State {
  DIR* dir = nullptr;  // null for the lookup of a bare path, which has a single entry
  std::string mask;
};

namespace {

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

void SetTimes(FindRecord& record, const FileStatus& status) {
  record.creation_time = status.creation_time;
  record.last_write_time = status.last_write_time;
  record.last_access_time = status.last_access_time;
}

void SetSize(FindRecord& record, uint64_t size) {
  record.size_high = static_cast<uint32_t>(size >> 32);
  record.size_low = static_cast<uint32_t>(size);
}

// Describes `name` in the folder `at` (a descriptor, or AT_FDCWD with `name` a path) from the
// entry's status, links followed. When that fails the link itself, or else only what the
// directory listing knew (`is_directory`), is reported. Asking relative to the listed folder's
// descriptor spares the system a walk of the whole path for every entry.
FindRecord DescribeEntry(int at, const std::string& name, const std::string& shown_name,
                         bool is_directory) {
  FindRecord record;
  record.long_name = shown_name;
  struct statx stx {};
  if (statx(at, name.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &stx) ==
      0) {
    const FileStatus status = StatusFromStatx(stx, shown_name);
    record.attributes = status.attributes;
    record.is_regular = status.is_regular;
    SetSize(record, status.size);
    SetTimes(record, status);
    record.device = status.device;
    record.inode = status.inode;
    return record;
  }
  struct stat link {};
  if (fstatat(at, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0) {
    record.attributes = AttributesFromMode(link.st_mode, shown_name);
    SetSize(record, static_cast<uint64_t>(link.st_size));
    record.last_write_time = link.st_mtim;
    record.last_access_time = link.st_atim;
    record.device = link.st_dev;
    record.inode = link.st_ino;
    return record;
  }
  record.attributes =
      AttributesFromMode(is_directory ? S_IFDIR | S_IRWXU : S_IFREG | S_IRWXU, shown_name);
  return record;
}

}  // namespace

DirectoryLookup::~DirectoryLookup() { Close(); }

DirectoryLookup::DirectoryLookup(DirectoryLookup&& other) noexcept
    : state_(other.state_), error_number_(other.error_number_) {
  other.state_ = nullptr;
}

DirectoryLookup& DirectoryLookup::operator=(DirectoryLookup&& other) noexcept {
  if (this != &other) {
    Close();
    state_ = other.state_;
    error_number_ = other.error_number_;
    other.state_ = nullptr;
  }
  return *this;
}

bool DirectoryLookup::FindFirst(const std::string& pattern, FindRecord& first) {
  Close();
  error_number_ = 0;
  if (pattern.empty() || pattern.back() == '/' || pattern.find('\0') != std::string::npos)
    return false;
  const std::size_t slash = pattern.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
  const std::string last = pattern.substr(folder.size());

  if (!HasWildcard(last)) {
    // A bare path: the entry itself, when it exists (or is at least a link).
    struct stat link {};
    if (lstat(pattern.c_str(), &link) != 0) return false;
    first = DescribeEntry(AT_FDCWD, pattern, last, false);
    state_ = new State{nullptr, last};
    return true;
  }
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    error_number_ = ErrorNumberFromErrno(errno, ErrnoSource::kPathName);
    return false;
  }
  state_ = new State{dir, last};
  if (FindNext(first)) return true;
  Close();
  return false;
}

bool DirectoryLookup::FindNext(FindRecord& next) {
  if (state_ == nullptr || state_->dir == nullptr) return false;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(state_->dir);
    if (entry == nullptr) {
      if (errno != 0) error_number_ = ErrorNumberFromErrno(errno);
      return false;
    }
    const std::string name = entry->d_name;
    if (!MatchesMask(name, state_->mask)) continue;
    next = DescribeEntry(dirfd(state_->dir), name, name, entry->d_type == DT_DIR);
    return true;
  }
}

void DirectoryLookup::Close() {
  if (state_ == nullptr) return;
  if (state_->dir != nullptr) closedir(state_->dir);
  delete state_;
  state_ = nullptr;
}

bool DirectoryLookup::IsOpen() const { return state_ != nullptr; }

}  // namespace kel
