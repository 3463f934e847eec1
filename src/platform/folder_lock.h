// One run at a time per output folder: an advisory lock on the folder itself, held for the
// lock's lifetime and released however the run ends. No lock file is left behind. A run holds
// its lock through its OutputFolder (output_folder.h); this is the same lock for a folder
// given by its path alone.
#pragma once

#include <string>

#include "platform/output_folder.h"

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

  // Tries to lock `folder` without waiting. Never throws.
  static FolderLock TryAcquire(const std::string& folder) noexcept;

  State GetState() const noexcept { return state_; }
  int ErrorNumber() const noexcept { return error_number_; }  // message-table number (kFailed)

 private:
  State state_ = State::kFailed;
  int error_number_ = 0;
  OutputFolder folder_;  // open while locked
};

}  // namespace kel
