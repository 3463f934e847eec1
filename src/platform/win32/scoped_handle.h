// The one owner of a Win32 HANDLE: closed when the owner goes, moved but never copied.
#pragma once

#include <windows.h>

namespace kel::win32 {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) noexcept : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  // Both of the system's "no handle" values (CreateFileW's and CreateMutexW's) count as none.
  bool IsValid() const noexcept { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const noexcept { return handle_; }
  HANDLE Release() noexcept {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  // True when there was nothing to close or the close succeeded.
  bool Close() noexcept {
    if (!IsValid()) return true;
    return CloseHandle(Release()) != FALSE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A lookup handle of FindFirstFileExW, which FindClose (not CloseHandle) ends.
class ScopedFindHandle {
 public:
  explicit ScopedFindHandle(HANDLE handle) noexcept : handle_(handle) {}
  ~ScopedFindHandle() {
    if (IsValid()) FindClose(handle_);
  }
  ScopedFindHandle(const ScopedFindHandle&) = delete;
  ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;
  bool IsValid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const noexcept { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace kel::win32
