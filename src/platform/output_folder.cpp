// What the output folder's two backends share: ownership of the folder's handle and lock, which
// each backend's Close gives back.
#include "platform/output_folder.h"

#include <utility>

namespace kel {

OutputFolder::~OutputFolder() { Close(); }

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : handle_(other.handle_),
      lock_(other.lock_),
      locked_(other.locked_),
      path_(std::move(other.path_)),
      full_path_(std::move(other.full_path_)),
      unnamed_refused_(other.unnamed_refused_.load()),
      name_taken_before_(other.name_taken_before_.load()) {
  other.handle_ = kNoHandle;
  other.lock_ = kNoHandle;
  other.locked_ = false;
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    lock_ = other.lock_;
    locked_ = other.locked_;
    path_ = std::move(other.path_);
    full_path_ = std::move(other.full_path_);
    unnamed_refused_ = other.unnamed_refused_.load();
    name_taken_before_ = other.name_taken_before_.load();
    other.handle_ = kNoHandle;
    other.lock_ = kNoHandle;
    other.locked_ = false;
  }
  return *this;
}

}  // namespace kel
