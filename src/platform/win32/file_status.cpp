#include "platform/win32/file_status.h"

#include "platform/win32/win32_error.h"

namespace kel::win32 {

namespace {
constexpr int64_t kTicksTo1970 = 116444736000000000;  // 100 ns from 1601 to 1970
}  // namespace

struct timespec TimespecFromTicks(int64_t ticks) {
  const int64_t since_1970 = ticks - kTicksTo1970;
  int64_t seconds = since_1970 / 10000000;
  int64_t rest = since_1970 % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  struct timespec time {};
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(rest * 100);
  return time;
}

struct timespec TimespecFromFileTime(const FILETIME& time) {
  return TimespecFromTicks(
      static_cast<int64_t>(static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime));
}

ScopedHandle OpenForStatus(const std::wstring& path, bool follow_links) {
  // Backup semantics open folders too; FILE_READ_ATTRIBUTES is granted whatever others share.
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return ScopedHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, flags, nullptr));
}

std::optional<FileStatus> StatusOfHandle(HANDLE handle, int& error_number) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) {
    error_number = LastErrorNumber();
    return std::nullopt;
  }
  FileStatus status;
  status.attributes = info.dwFileAttributes & kReportedAttributes;
  status.size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  status.is_directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Windows has no Unix mode; the one a UTF-8 entry's central record carries (see
  // zip/central_directory.cpp) is made from the attributes: what unzip would give such a file.
  const bool read_only = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  status.unix_mode = status.is_directory ? 0040755u : read_only ? 0100444u : 0100644u;
  status.is_regular = !status.is_directory && GetFileType(handle) == FILE_TYPE_DISK &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
  status.device = info.dwVolumeSerialNumber;
  status.inode = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  status.creation_time = TimespecFromFileTime(info.ftCreationTime);
  status.last_write_time = TimespecFromFileTime(info.ftLastWriteTime);
  status.last_access_time = TimespecFromFileTime(info.ftLastAccessTime);
  // The change time moves with every write, truncation and rename, as POSIX's ctime does.
  FILE_BASIC_INFO basic{};
  status.change_time = GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)
                           ? TimespecFromTicks(basic.ChangeTime.QuadPart)
                           : status.last_write_time;
  return status;
}

}  // namespace kel::win32
