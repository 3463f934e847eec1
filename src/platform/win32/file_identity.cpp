#include "platform/file_identity.h"

#include <windows.h>

#include "platform/win32/file_status.h"
#include "platform/win32/wide_text.h"

namespace kel {

namespace {

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

std::optional<FileIdentity> QueryIdentity(const std::string& path, bool follow_links) noexcept {
  try {
    const std::optional<std::wstring> wide = win32::SystemPath(path);
    if (!wide) return std::nullopt;
    const win32::ScopedHandle handle = win32::OpenForStatus(*wide, follow_links);
    if (!handle.IsValid()) return std::nullopt;
    return IdentityOf(handle.Get());
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<FileIdentity> QueryFileIdentity(const std::string& path) noexcept {
  return QueryIdentity(path, true);
}

std::optional<FileIdentity> QueryEntryIdentity(const std::string& path) noexcept {
  return QueryIdentity(path, false);
}

bool RemoveFileIfSame(const std::string& path, const FileIdentity& id) noexcept {
  try {
    const std::optional<std::wstring> wide = win32::SystemPath(path);
    if (!wide) return false;
    // The entry itself, opened for deletion: what is checked is what goes, with no gap between.
    const win32::ScopedHandle handle(
        CreateFileW(wide->c_str(), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsValid()) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) return false;
    const DWORD not_a_file = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((info.dwFileAttributes & not_a_file) != 0 || IdentityOf(handle.Get()) != id) return false;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
  } catch (...) {
    return false;
  }
}

}  // namespace kel
