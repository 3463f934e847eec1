#include "platform/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"
#include "platform/posix/statx_status.h"

namespace kel {
namespace {

// The last component of a path, ignoring separators at its end.
std::string_view LastComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

struct timespec ToTimespec(const struct statx_timestamp& t) {
  struct timespec ts {};
  ts.tv_sec = t.tv_sec;
  ts.tv_nsec = t.tv_nsec;
  return ts;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) RaiseLastOSError(errno);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace

const std::size_t kMaxPathLength = 4095;

bool IsRelativePath(const std::string& path) { return !path.empty() && path.front() != '/'; }

uint32_t AttributesFromMode(uint32_t unix_mode, const std::string& file_name) {
  uint32_t attributes = S_ISDIR(unix_mode) ? kAttrDirectory : kAttrArchive;
  if ((unix_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  // "." and ".." are no names of their own; like Windows, they are not hidden.
  const std::string_view name = LastComponent(file_name);
  if (!name.empty() && name.front() == '.' && name != "." && name != "..")
    attributes |= kAttrHidden;
  return attributes;
}

EntryKind QueryEntryKind(const std::string& path) noexcept {
  struct stat st {};
  if (path.find('\0') != std::string::npos || lstat(path.c_str(), &st) != 0)
    return EntryKind::kMissing;
  if (S_ISREG(st.st_mode)) return EntryKind::kRegular;
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

std::optional<FileStatus> QueryFileStatus(const std::string& path, int* error_number) {
  int err = 0;
  struct statx stx {};
  if (path.find('\0') != std::string::npos) {
    err = EINVAL;
  } else if (statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME,
                   &stx) != 0) {
    err = errno;
  }
  if (err != 0) {
    if (error_number != nullptr) *error_number = ErrorNumberFromErrno(err, ErrnoSource::kPathName);
    return std::nullopt;
  }
  return StatusFromStatx(stx, path);
}

FileStatus StatusFromStatx(const struct statx& stx, const std::string& name) {
  FileStatus status;
  status.unix_mode = stx.stx_mode;
  status.attributes = AttributesFromMode(stx.stx_mode, name);
  status.size = stx.stx_size;
  status.is_directory = S_ISDIR(stx.stx_mode);
  status.is_regular = S_ISREG(stx.stx_mode);
  status.device = makedev(stx.stx_dev_major, stx.stx_dev_minor);
  status.inode = stx.stx_ino;
  status.links = stx.stx_nlink;
  if (stx.stx_mask & STATX_BTIME) status.creation_time = ToTimespec(stx.stx_btime);
  status.last_write_time = ToTimespec(stx.stx_mtime);
  status.last_access_time = ToTimespec(stx.stx_atime);
  status.change_time = ToTimespec(stx.stx_ctime);
  return status;
}

std::optional<std::string> ResolveExistingPath(const std::string& path, int* error_number) {
  int err = 0;
  if (path.empty() || path.find('\0') != std::string::npos) {
    err = path.empty() ? ENOENT : EINVAL;
  } else if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    std::string result(resolved);
    std::free(resolved);
    if (result.size() <= kMaxPathLength) return result;
    err = ENAMETOOLONG;
  } else {
    err = errno;
  }
  if (error_number != nullptr) *error_number = ErrorNumberFromErrno(err, ErrnoSource::kPathName);
  return std::nullopt;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return {};
  if (path.find('\0') != std::string::npos) throw EInOutError(3);
  const std::string full = path.front() == '/' ? path : CurrentDirectory() + "/" + path;

  std::vector<std::string_view> parts;
  std::string_view rest(full);
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string result;
  for (const auto& part : parts) result += "/" + std::string(part);
  if (result.empty() || path.back() == '/') result += '/';
  if (result.size() > kMaxPathLength) throw EInOutError(3);
  return result;
}

}  // namespace kel
