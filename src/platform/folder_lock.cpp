#include "platform/folder_lock.h"

namespace kel {

FolderLock FolderLock::TryAcquire(const std::string& folder) noexcept {
  FolderLock lock;
  OutputFolder opened = OutputFolder::TryOpen(folder, lock.error_number_);
  if (!opened.IsOpen()) return lock;
  switch (opened.TryLock(lock.error_number_)) {
    case OutputFolder::LockState::kLocked:
      lock.state_ = State::kLocked;
      lock.folder_ = std::move(opened);
      break;
    case OutputFolder::LockState::kBusy:
      lock.state_ = State::kBusy;
      break;
    case OutputFolder::LockState::kUnsupported:
      lock.state_ = State::kUnsupported;
      break;
    case OutputFolder::LockState::kFailed:
      break;
  }
  return lock;
}

}  // namespace kel
