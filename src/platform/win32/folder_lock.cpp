#include "platform/folder_lock.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/file_status.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

// On Windows the lock is a named kernel object that stands for the folder: its name is made of
// the folder's identity (volume serial number and file index), so every path to the folder, a
// link or another spelling, meets the same object, in this process or another of the machine.
// An exclusive handle on the folder itself would also refuse the program's own listing of the
// folder and the renames into it: a rename opens the target's folder sharing only reading and
// writing. The object goes with the last handle, also when the process dies, and leaves no file.

namespace kel {

namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

void Release(intptr_t& handle) {
  if (handle != -1) CloseHandle(Handle(handle));
  handle = -1;
}

}  // namespace

FolderLock::~FolderLock() { Release(handle_); }

FolderLock::FolderLock(FolderLock&& other) noexcept
    : state_(other.state_), error_number_(other.error_number_), handle_(other.handle_) {
  other.handle_ = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release(handle_);
    state_ = other.state_;
    error_number_ = other.error_number_;
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

FolderLock FolderLock::TryAcquire(const std::string& folder) noexcept {
  FolderLock lock;
  try {
    const std::optional<std::wstring> wide = win32::SystemPath(folder);
    if (!wide) {
      lock.error_number_ = 3;
      return lock;
    }
    const win32::ScopedHandle opened = win32::OpenForStatus(*wide, true);
    if (!opened.IsValid()) {
      lock.error_number_ = win32::LastErrorNumber();
      return lock;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(opened.Get(), &info)) {
      lock.state_ = State::kUnsupported;
      return lock;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      lock.error_number_ = 3;  // as POSIX's ENOTDIR
      return lock;
    }
    wchar_t name[96];
    // Global: seen from every session of the machine; Local when the session may not make one.
    for (const wchar_t* space : {L"Global", L"Local"}) {
      std::swprintf(name, std::size(name), L"%ls\\kelvarin-folder-%08lx-%08lx%08lx", space,
                    info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
      win32::ScopedHandle object(CreateMutexW(nullptr, FALSE, name));
      const DWORD error = GetLastError();
      if (!object.IsValid()) {
        if (error == ERROR_ACCESS_DENIED) continue;
        lock.error_number_ = win32::ErrorNumberFromWin32(error);
        return lock;
      }
      if (error == ERROR_ALREADY_EXISTS) {
        lock.state_ = State::kBusy;
        return lock;
      }
      lock.state_ = State::kLocked;
      lock.handle_ = reinterpret_cast<intptr_t>(object.Release());
      return lock;
    }
    lock.state_ = State::kUnsupported;
  } catch (...) {
    lock.error_number_ = 8;
  }
  return lock;
}

}  // namespace kel
