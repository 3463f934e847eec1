#include "platform/output_folder.h"

#include <aclapi.h>
#include <windows.h>

#include <cstdio>
#include <memory>

#include "platform/file_info.h"
#include "platform/path_syntax.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

// The folder is held by a handle that shares reading and writing but not deletion: while the
// run holds it, the folder cannot be renamed or deleted, and the calls on its full path reach
// the folder that was checked. (A rename into the folder opens it sharing reading and writing,
// so the handle must share both.)
//
// The lock is a named kernel object that stands for the folder: its name is made of the
// folder's identity (volume serial number and file index), so every path to the folder, a link
// or another spelling, meets the same object, in this process or another of the machine. An
// exclusive handle on the folder would also refuse the program's own listing of the folder and
// the renames into it. The object goes with the last handle, also when the process dies, and
// leaves no file.

namespace kel {
namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

std::optional<FileIdentity> IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// The token's SID of class `token_class` (TokenUser or TokenOwner), in `buffer`.
PSID TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS token_class,
              std::unique_ptr<unsigned char[]>& buffer) {
  DWORD size = 0;
  GetTokenInformation(token, token_class, nullptr, 0, &size);
  if (size == 0) return nullptr;
  buffer.reset(new unsigned char[size]);
  if (!GetTokenInformation(token, token_class, buffer.get(), size, &size)) return nullptr;
  return token_class == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid
                                  : reinterpret_cast<TOKEN_OWNER*>(buffer.get())->Owner;
}

// The owner of the open file is the user running: the user's SID, or the default owner the
// user's new files get (Administrators, for an elevated administrator). True where the file
// system records no owner (FAT).
bool OwnedByUser(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS)
    return true;
  std::unique_ptr<void, decltype(&LocalFree)> held(descriptor, &LocalFree);
  if (owner == nullptr) return true;
  HANDLE raw_token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw_token)) return false;
  const win32::ScopedHandle token(raw_token);
  for (const TOKEN_INFORMATION_CLASS token_class : {TokenUser, TokenOwner}) {
    std::unique_ptr<unsigned char[]> buffer;
    const PSID sid = TokenSid(token.Get(), token_class, buffer);
    if (sid != nullptr && EqualSid(sid, owner)) return true;
  }
  return false;
}

OutputEntry EntryOf(const BY_HANDLE_FILE_INFORMATION& info, HANDLE handle) {
  OutputEntry entry;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    entry.kind = OutputEntry::Kind::kLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    entry.kind = OutputEntry::Kind::kDirectory;
  } else if (GetFileType(handle) == FILE_TYPE_DISK) {
    entry.kind = OutputEntry::Kind::kRegular;
  }
  entry.links = info.nNumberOfLinks;
  entry.size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  entry.identity = *IdentityOf(info);
  entry.owned_by_user = OwnedByUser(handle);
  return entry;
}

}  // namespace

void OutputFolder::Close() noexcept {
  if (handle_ != kNoHandle) CloseHandle(Handle(handle_));
  if (lock_ != kNoHandle) CloseHandle(Handle(lock_));
  handle_ = kNoHandle;
  lock_ = kNoHandle;
  locked_ = false;
}

OutputFolder OutputFolder::TryOpen(const std::string& path, int& error_number) noexcept {
  OutputFolder folder;
  try {
    if (path.empty() || path.find('\0') != std::string::npos) {
      error_number = 3;
      return folder;
    }
    const PathSyntax syntax = PathSyntax::Native();
    const std::string full = syntax.IncludeTrailingSeparator(ExpandFileName(path));
    const std::optional<std::wstring> wide = win32::SystemPath(full);
    if (!wide) {
      error_number = 3;
      return folder;
    }
    // List access, shared for reading and writing only: no rename or deletion of the folder
    // while it is held.
    win32::ScopedHandle handle(CreateFileW(wide->c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsValid()) {
      error_number = win32::LastErrorNumber();
      return folder;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) {
      error_number = win32::LastErrorNumber();
      return folder;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      error_number = 3;  // as POSIX's ENOTDIR
      return folder;
    }
    folder.path_ = syntax.IncludeTrailingSeparator(path);
    folder.full_path_ = full;
    folder.handle_ = reinterpret_cast<intptr_t>(handle.Release());
  } catch (...) {
    error_number = 8;
  }
  return folder;
}

OutputFolder::LockState OutputFolder::TryLock(int& error_number) noexcept {
  if (!IsOpen()) {
    error_number = 6;
    return LockState::kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Handle(handle_), &info)) return LockState::kUnsupported;
  wchar_t name[96];
  // Global: seen from every session of the machine; Local when the session may not make one.
  for (const wchar_t* space : {L"Global", L"Local"}) {
    std::swprintf(name, std::size(name), L"%ls\\kelvarin-folder-%08lx-%08lx%08lx", space,
                  info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    win32::ScopedHandle object(CreateMutexW(nullptr, FALSE, name));
    const DWORD error = GetLastError();
    if (!object.IsValid()) {
      if (error == ERROR_ACCESS_DENIED) continue;
      error_number = win32::ErrorNumberFromWin32(error);
      return LockState::kFailed;
    }
    if (error == ERROR_ALREADY_EXISTS) return LockState::kBusy;
    if (lock_ != kNoHandle) CloseHandle(Handle(lock_));
    lock_ = reinterpret_cast<intptr_t>(object.Release());
    locked_ = true;
    return LockState::kLocked;
  }
  return LockState::kUnsupported;
}

// Windows has no files without a name: every output goes through a named temporary.
File OutputFolder::TryCreateUnnamed() const noexcept { return File(); }

int OutputFolder::TryLinkNew(const File&, const std::string&) const noexcept {
  return 50;  // not supported
}

File OutputFolder::TryCreateNew(const std::string& name, bool hidden,
                                int& error_number) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) {
    error_number = IsOpen() ? 3 : 6;
    return File();
  }
  try {
    return File::TryOpen(full_path_ + name, hidden ? OpenMode::kCreateHidden : OpenMode::kCreateNew,
                         error_number);
  } catch (...) {
    error_number = 8;
    return File();
  }
}

File OutputFolder::TryOpenRegular(const std::string& name, OutputEntry& entry,
                                  int& error_number) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) {
    error_number = IsOpen() ? 3 : 6;
    return File();
  }
  try {
    const std::optional<std::wstring> wide = win32::SystemPath(full_path_ + name);
    if (!wide) {
      error_number = 3;
      return File();
    }
    // The entry itself (a link is opened as the link); a folder is refused without backup
    // semantics.
    win32::ScopedHandle handle(CreateFileW(
        wide->c_str(), GENERIC_READ | READ_CONTROL,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.IsValid()) {
      error_number = win32::LastErrorNumber();
      return File();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) {
      error_number = win32::LastErrorNumber();
      return File();
    }
    OutputEntry opened = EntryOf(info, handle.Get());
    if (opened.kind != OutputEntry::Kind::kRegular) {
      error_number = 5;
      return File();
    }
    entry = opened;
    return File(reinterpret_cast<intptr_t>(handle.Release()));
  } catch (...) {
    error_number = 8;
    return File();
  }
}

std::optional<OutputEntry> OutputFolder::TryEntry(const std::string& name,
                                                  int* error_number) const noexcept {
  int error = 0;
  std::optional<OutputEntry> result;
  if (!IsOpen() || !IsEntryName(name)) {
    error = IsOpen() ? 3 : 6;
  } else {
    try {
      const std::optional<std::wstring> wide = win32::SystemPath(full_path_ + name);
      if (!wide) {
        error = 3;
      } else {
        const win32::ScopedHandle handle(CreateFileW(
            wide->c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!handle.IsValid() || !GetFileInformationByHandle(handle.Get(), &info)) {
          error = win32::LastErrorNumber();
        } else {
          result = EntryOf(info, handle.Get());
        }
      }
    } catch (...) {
      error = 8;
    }
  }
  if (!result && error_number != nullptr) *error_number = error;
  return result;
}

std::optional<FileIdentity> OutputFolder::TryTargetIdentity(const std::string& name) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) return std::nullopt;
  try {
    return QueryFileIdentity(full_path_ + name);
  } catch (...) {
    return std::nullopt;
  }
}

int OutputFolder::TryReplace(const std::string& from, const std::string& to) const noexcept {
  if (!IsOpen()) return 6;
  if (!IsEntryName(from) || !IsEntryName(to)) return 3;
  try {
    return TryReplaceFile(full_path_ + from, full_path_ + to);
  } catch (...) {
    return 8;
  }
}

int OutputFolder::TryRemove(const std::string& name) const noexcept {
  if (!IsOpen()) return 6;
  if (!IsEntryName(name)) return 3;
  try {
    return TryRemoveEntry(full_path_ + name);
  } catch (...) {
    return 8;
  }
}

bool OutputFolder::TryRemoveIfSame(const std::string& name,
                                   const FileIdentity& identity) const noexcept {
  if (!IsOpen() || !IsEntryName(name)) return false;
  try {
    return RemoveFileIfSame(full_path_ + name, identity);
  } catch (...) {
    return false;
  }
}

bool OutputFolder::TryList(std::vector<std::string>& names, int& error_number) const noexcept {
  names.clear();
  if (!IsOpen()) {
    error_number = 6;
    return false;
  }
  try {
    const std::optional<std::wstring> pattern = win32::SystemPath(full_path_ + "*");
    if (!pattern) {
      error_number = 3;
      return false;
    }
    WIN32_FIND_DATAW data{};
    win32::ScopedFindHandle find(FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &data,
                                                  FindExSearchNameMatch, nullptr, 0));
    if (!find.IsValid()) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return true;
      error_number = win32::ErrorNumberFromWin32(error);
      return false;
    }
    do {
      const std::wstring wide = data.cFileName;
      if (wide == L"." || wide == L"..") continue;
      std::optional<std::string> name = win32::TextFromWide(wide);
      names.push_back(name ? std::move(*name) : win32::DescribeWide(wide));
    } while (FindNextFileW(find.Get(), &data));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
      error_number = win32::ErrorNumberFromWin32(error);
      return false;
    }
    return true;
  } catch (...) {
    error_number = 8;
    return false;
  }
}

}  // namespace kel
