#include "platform/file.h"

#include <windows.h>

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "platform/win32/file_status.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace kel {
namespace {

using win32::LastErrorNumber;

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Others may read, write, rename and delete a file while it is open, as on POSIX: the program
// checks through its handle what became of a file, rather than locking others out.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct OpenWay {
  DWORD access;
  DWORD disposition;
  DWORD attributes;
};

OpenWay WayOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::kRead:
      return {GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
    case OpenMode::kReadEntry:
      // The reparse point itself, so that a link is seen (and refused) rather than followed.
      return {GENERIC_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT};
    case OpenMode::kReadWrite:
      return {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
    case OpenMode::kCreate:
      // Truncated after the open: CREATE_ALWAYS refuses an existing hidden or system file, and
      // POSIX's O_TRUNC keeps a file's attributes.
      return {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL};
    case OpenMode::kCreateNew:
      // CREATE_NEW fails on any entry at the path, a link (reparse point) included.
      return {GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL};
    case OpenMode::kCreateHidden:
      return {GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN};
  }
  return {GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
}

int64_t FilePointer(HANDLE handle, int64_t offset, DWORD method) {
  LARGE_INTEGER move{}, now{};
  move.QuadPart = offset;
  if (!SetFilePointerEx(handle, move, &now, method)) throw EInOutError(LastErrorNumber());
  return now.QuadPart;
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

File File::TryOpen(const std::string& path, OpenMode mode, int& error_number) noexcept {
  std::optional<std::wstring> wide;
  try {
    wide = win32::SystemPath(path);
  } catch (...) {
    error_number = 8;
    return File();
  }
  // A zero byte would cut the name the system sees; text that is no text names nothing.
  if (!wide) {
    error_number = 3;
    return File();
  }
  const OpenWay way = WayOf(mode);
  // Without backup semantics a folder cannot be opened: refused as on POSIX (5).
  const HANDLE handle = CreateFileW(wide->c_str(), way.access, kShareAll, nullptr, way.disposition,
                                    way.attributes, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error_number = LastErrorNumber();
    return File();
  }
  File file(reinterpret_cast<intptr_t>(handle));
  if (mode == OpenMode::kReadEntry) {
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD not_a_file = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & not_a_file) != 0 ||
        GetFileType(handle) != FILE_TYPE_DISK) {
      error_number = 5;
      return File();
    }
  }
  if (mode == OpenMode::kCreate && !SetEndOfFile(handle)) {
    error_number = LastErrorNumber();
    return File();
  }
  return file;
}

File File::TryOpen(const std::string& path, OpenMode mode, const std::string& name,
                   std::optional<FileStatus>& status, int& error_number) noexcept {
  status.reset();
  File file = TryOpen(path, mode, error_number);
  if (!file.IsOpen()) return file;
  status = file.Status(name, error_number);
  if (!status) return File();
  return file;
}

int64_t File::TryRead(void* buffer, std::size_t count, int& error_number) noexcept {
  if (!IsOpen()) {
    error_number = 6;
    return -1;
  }
  const DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  DWORD read = 0;
  if (!ReadFile(Handle(handle_), buffer, chunk, &read, nullptr)) {
    const DWORD error = GetLastError();
    // A pipe whose writer has gone ends like a file.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    error_number = win32::ErrorNumberFromWin32(error);
    return -1;
  }
  return read;
}

int64_t File::TryWrite(const void* buffer, std::size_t count, int& error_number) noexcept {
  if (!IsOpen()) {
    error_number = 6;
    return 0;
  }
  const char* bytes = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::size_t left = count - done;
    const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(Handle(handle_), bytes + done, chunk, &written, nullptr)) {
      error_number = LastErrorNumber();
      break;
    }
    if (written == 0) {
      // A write that takes nothing without an error has no room left.
      error_number = 101;
      break;
    }
    done += written;
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
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(handle_), &size)) throw EInOutError(LastErrorNumber());
  return size.QuadPart;
}

int64_t File::Position() const { return FilePointer(Handle(handle_), 0, FILE_CURRENT); }

void File::Seek(int64_t offset) { FilePointer(Handle(handle_), offset, FILE_BEGIN); }

struct timespec File::ModificationTime() const {
  FILETIME written{};
  if (!GetFileTime(Handle(handle_), nullptr, nullptr, &written))
    throw EInOutError(LastErrorNumber());
  return win32::TimespecFromFileTime(written);
}

std::optional<FileStatus> File::Status(const std::string& name, int& error_number) const noexcept {
  (void)name;  // Windows keeps the hidden flag in the file, not in its name
  if (!IsOpen()) {
    error_number = 6;
    return std::nullopt;
  }
  return win32::StatusOfHandle(Handle(handle_), error_number);
}

void File::Close() {
  const int error_number = TryClose();
  if (error_number != 0) throw EInOutError(error_number);
}

bool File::TryTruncate(uint64_t size) noexcept {
  if (!IsOpen()) return false;
  // The end moves; the position stays where it was, as with ftruncate.
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(Handle(handle_), FileEndOfFileInfo, &end, sizeof end) != FALSE;
}

int File::TryClose() noexcept {
  if (!IsOpen()) return 0;
  const HANDLE handle = Handle(handle_);
  handle_ = kNoHandle;
  return CloseHandle(handle) ? 0 : LastErrorNumber();
}

int TryReplaceFile(const std::string& from, const std::string& to) noexcept {
  try {
    const std::optional<std::wstring> source = win32::SystemPath(from);
    const std::optional<std::wstring> target = win32::SystemPath(to);
    if (!source || !target) return 3;
    // Windows refuses to replace a read-only file (5); Wine replaces it. The check is made here
    // so that both give Windows' answer.
    const DWORD standing = GetFileAttributesW(target->c_str());
    if (standing != INVALID_FILE_ATTRIBUTES &&
        (standing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0 &&
        (standing & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
      return 5;
    // A temporary was created hidden; what it becomes is an ordinary file.
    const DWORD attributes = GetFileAttributesW(source->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorNumber();
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) != 0) {
      const DWORD plain = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
      if (!SetFileAttributesW(source->c_str(), plain == 0 ? FILE_ATTRIBUTE_NORMAL : plain))
        return LastErrorNumber();
    }
    // The entry at `to` (a file or a link) is replaced, never written through.
    if (MoveFileExW(source->c_str(), target->c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    return LastErrorNumber();
  } catch (...) {
    return 8;
  }
}

int TryRemoveEntry(const std::string& path) noexcept {
  try {
    const std::optional<std::wstring> wide = win32::SystemPath(path);
    if (!wide) return 3;
    // DeleteFileW removes a link itself and refuses a folder (5).
    if (DeleteFileW(wide->c_str())) return 0;
    return LastErrorNumber();
  } catch (...) {
    return 8;
  }
}

}  // namespace kel
