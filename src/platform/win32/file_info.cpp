#include "platform/file_info.h"

#include <windows.h>

#include "platform/exceptions.h"
#include "platform/win32/file_status.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace kel {

// 32,767 UTF-16 units less the terminator and the longest prefix, "\\?\UNC\".
const std::size_t kMaxPathLength = 32767 - 1 - 8;

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The "\\?\" or "\\?\UNC\" prefix GetFinalPathNameByHandleW puts before a path, taken off.
std::wstring WithoutLongPrefix(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

// The path made full by the system, as it makes a typed path full: "." and ".." folded, and
// trailing dots and spaces of its names taken off. Only for a path the user gave; nothing (with
// `error_number` set) when it cannot be.
std::optional<std::wstring> FullWidePath(const std::wstring& wide, int& error_number) {
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    error_number = win32::LastErrorNumber();
    return std::nullopt;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    error_number = win32::LastErrorNumber();
    return std::nullopt;
  }
  full.resize(length);
  return full;
}

// The same without a "\\?\" prefix, in the program's code page.
std::optional<std::string> FullPath(const std::wstring& wide, int& error_number) {
  const std::optional<std::wstring> full = FullWidePath(wide, error_number);
  if (!full) return std::nullopt;
  std::optional<std::string> text = win32::TextFromWide(WithoutLongPrefix(*full));
  if (!text) error_number = 3;
  return text;
}

}  // namespace

bool IsRelativePath(const std::string& path) {
  if (path.empty() || IsSeparator(path.front())) return false;
  return !(path.size() >= 2 && path[1] == ':');
}

std::optional<FileStatus> QueryFileStatus(const std::string& path, int* error_number) {
  int error = 0;
  std::optional<FileStatus> status;
  if (const std::optional<std::wstring> wide = win32::SystemPath(path)) {
    const win32::ScopedHandle handle = win32::OpenForStatus(*wide, true);
    if (handle.IsValid()) {
      status = win32::StatusOfHandle(handle.Get(), error);
    } else {
      error = win32::LastErrorNumber();
    }
  } else {
    error = 3;
  }
  if (!status && error_number != nullptr) *error_number = error;
  return status;
}

std::optional<std::string> ResolveExistingPath(const std::string& path, int* error_number) {
  int error = 0;
  if (path.empty()) {
    error = 2;
  } else if (const std::optional<std::wstring> given = win32::WideFromText(path);
             given && path.find('\0') == std::string::npos) {
    // A folder the user gave: read as Windows reads a typed path (GetFullPathNameW, once), and
    // from then on named by the "\\?\" form of what that gave.
    const std::optional<std::wstring> full = FullWidePath(*given, error);
    const std::wstring wide = full ? win32::ExtendedPath(*full) : std::wstring();
    const win32::ScopedHandle handle =
        full ? win32::OpenForStatus(wide, true) : win32::ScopedHandle();
    if (!handle.IsValid()) {
      if (full) error = win32::LastErrorNumber();
    } else {
      // Room for the longest path there is: the size the first call reports differs by one
      // between systems (Wine leaves out the terminator).
      std::wstring final_path(32768, L'\0');
      const DWORD length = GetFinalPathNameByHandleW(
          handle.Get(), final_path.data(), static_cast<DWORD>(final_path.size()), VOLUME_NAME_DOS);
      std::optional<std::string> text;
      if (length != 0 && length < final_path.size()) {
        final_path.resize(length);
        text = win32::TextFromWide(WithoutLongPrefix(final_path));
        if (!text) error = 3;
      } else {
        // Wine answers ERROR_MORE_DATA for a path past MAX_PATH: the system's full path of the
        // existing entry is the next best (links in it are then not resolved).
        text = FullPath(wide, error);
      }
      if (text && text->size() <= kMaxPathLength) return text;
      if (text) error = 3;
    }
  } else {
    error = 3;
  }
  if (error_number != nullptr) *error_number = error;
  return std::nullopt;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return {};
  const std::optional<std::wstring> wide = win32::WideFromText(path);
  if (!wide || path.find('\0') != std::string::npos) throw EInOutError(3);
  int error_number = 0;
  // GetFullPathNameW folds "." and ".." lexically and keeps a trailing separator.
  std::optional<std::string> full = FullPath(*wide, error_number);
  if (!full) throw EInOutError(error_number);
  if (full->size() > kMaxPathLength) throw EInOutError(3);
  return *full;
}

}  // namespace kel
