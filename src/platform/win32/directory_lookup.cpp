#include "platform/directory_lookup.h"

#include <windows.h>

#include "platform/win32/file_status.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace kel {

// The lookup of FindFirstFileExW: the system matches the mask (long and 8.3 names, as Windows
// does), the entries come as wide names and are described here.
struct DirectoryLookup::State {
  explicit State(HANDLE handle) : find(handle) {}
  win32::ScopedFindHandle find;
  std::wstring folder;  // the folder part of the pattern in its "\\?\" form, separator included
};

namespace {

bool IsZero(const FILETIME& time) { return time.dwLowDateTime == 0 && time.dwHighDateTime == 0; }

// The folder part of a pattern in the "\\?\" form: up to its last "\".
std::wstring FolderOf(const std::wstring& pattern) {
  return pattern.substr(0, pattern.find_last_of(L'\\') + 1);
}

// An entry as the program reports it. Links (reparse points) are described by what they lead
// to, as on POSIX; a link that leads nowhere keeps what the listing said of it.
FindRecord Describe(const WIN32_FIND_DATAW& data, const std::wstring& folder) {
  FindRecord record;
  if (std::optional<std::string> name = win32::TextFromWide(data.cFileName)) {
    record.long_name = std::move(*name);
  } else {
    record.long_name = win32::DescribeWide(data.cFileName);
    record.exact_name = false;
  }
  if (data.cAlternateFileName[0] != L'\0') {
    if (std::optional<std::string> short_name = win32::TextFromWide(data.cAlternateFileName))
      record.alternate_name = std::move(*short_name);
  }
  record.attributes = data.dwFileAttributes & win32::kReportedAttributes;
  record.is_regular = (data.dwFileAttributes &
                       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
  record.size_high = data.nFileSizeHigh;
  record.size_low = data.nFileSizeLow;
  if (!IsZero(data.ftCreationTime))
    record.creation_time = win32::TimespecFromFileTime(data.ftCreationTime);
  if (!IsZero(data.ftLastWriteTime))
    record.last_write_time = win32::TimespecFromFileTime(data.ftLastWriteTime);
  if (!IsZero(data.ftLastAccessTime))
    record.last_access_time = win32::TimespecFromFileTime(data.ftLastAccessTime);

  // The listed name goes after the folder as it is: it names this very entry. ("." and ".."
  // would be taken as names there; they are the folders the caller has already.)
  const std::wstring_view name = data.cFileName;
  const win32::ScopedHandle handle =
      name == L"." || name == L".."
          ? win32::ScopedHandle()
          : win32::OpenForStatus(folder + data.cFileName, /*follow_links=*/true);
  int error_number = 0;
  const std::optional<FileStatus> status =
      handle.IsValid() ? win32::StatusOfHandle(handle.Get(), error_number) : std::nullopt;
  if (status) {
    record.device = status->device;
    record.inode = status->inode;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      record.attributes = status->attributes;
      record.is_regular = status->is_regular;
      record.size_high = static_cast<uint32_t>(status->size >> 32);
      record.size_low = static_cast<uint32_t>(status->size);
      record.creation_time = status->creation_time;
      record.last_write_time = status->last_write_time;
      record.last_access_time = status->last_access_time;
    }
  }
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
  try {
    if (pattern.empty() || pattern.back() == '\\' || pattern.back() == '/') return false;
    const std::optional<std::wstring> wide = win32::SystemPath(pattern);
    if (!wide) return false;
    WIN32_FIND_DATAW data{};
    const HANDLE handle = FindFirstFileExW(wide->c_str(), FindExInfoStandard, &data,
                                           FindExSearchNameMatch, nullptr, 0);
    if (handle == INVALID_HANDLE_VALUE) {
      // Nothing matched: no failure. Anything else kept the folder's entries from being seen.
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
        error_number_ = win32::ErrorNumberFromWin32(error);
      return false;
    }
    state_ = new State(handle);
    state_->folder = FolderOf(*wide);
    first = Describe(data, state_->folder);
    return true;
  } catch (...) {
    Close();
    return false;
  }
}

bool DirectoryLookup::FindNext(FindRecord& next) {
  if (state_ == nullptr) return false;
  WIN32_FIND_DATAW data{};
  if (!FindNextFileW(state_->find.Get(), &data)) {
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) error_number_ = win32::ErrorNumberFromWin32(error);
    return false;
  }
  next = Describe(data, state_->folder);
  return true;
}

void DirectoryLookup::Close() {
  delete state_;
  state_ = nullptr;
}

bool DirectoryLookup::IsOpen() const { return state_ != nullptr; }

}  // namespace kel
