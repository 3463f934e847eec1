// One run at a time per output folder: an advisory lock on the folder itself, held for the
// lock's lifetime and released however the run ends. No lock file is left behind.
#pragma once

#include <cstdint>
#include <string>

namespace kel {

class FolderLock {
 public:
  enum class State {
    kLocked,       // this lock holds the folder
    kBusy,         // another holder (another run, in this process or another) has it
    kUnsupported,  // the file system cannot lock a folder (some network file systems)
    kFailed,       // the folder cannot be opened; error_number says why
  };

  FolderLock() = default;
  ~FolderLock();  // releases the lock
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Tries to lock `folder` without waiting. Never throws.
  static FolderLock TryAcquire(const std::string& folder) noexcept;

  State GetState() const noexcept { return state_; }
  int ErrorNumber() const noexcept { return error_number_; }  // message-table number (kFailed)

 private:
  State state_ = State::kFailed;
  int error_number_ = 0;
  // The open folder: a descriptor on POSIX, a HANDLE on Windows.
  intptr_t handle_ = -1;
};

}  // namespace kel
