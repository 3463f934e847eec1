// An output written beside its final name and moved into place when complete, so that a
// half-written file is never seen under the final name and whatever stood there (an older
// file, a symbolic or hard link, a FIFO) is replaced as an entry, never written through.
#pragma once

#include <string>

#include "platform/file.h"

namespace kel {

// Temporaries are hidden and say what they are: ".kelvarin-" + a random part + "-" + the final
// file name + ".tmp", in the final name's folder.
constexpr const char* kTemporaryPrefix = ".kelvarin-";
constexpr const char* kTemporarySuffix = ".tmp";

// True when `file_name` (a bare name) has the form of a temporary. A run never collects one as
// a source and removes those left behind (RemoveStaleTemporaries).
bool IsTemporaryName(const std::string& file_name);

class OutputFile {
 public:
  OutputFile() = default;
  // Discards the temporary unless committed.
  ~OutputFile();
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates a new temporary for `final_path` (kCreateNew, a fresh random part on a clash).
  // Nothing is done at `final_path`. Returns a closed OutputFile with `error_number` set when
  // the folder does not exist or cannot be written.
  static OutputFile TryCreate(const std::string& final_path, int& error_number) noexcept;

  bool IsOpen() const noexcept { return file_.IsOpen(); }
  File& Handle() noexcept { return file_; }
  const std::string& FinalPath() const noexcept { return final_path_; }
  const std::string& TemporaryPath() const noexcept { return temporary_path_; }

  // Closes the handle and moves the temporary onto the final name. First checks through the
  // handle that the file written still has its name (not removed, or removed and replaced by
  // another file, meanwhile: number 2 then). 0, or the message-table number of the failure; the
  // temporary is removed then. `move_failed` (optional) tells whether it was the move that
  // failed (the name is taken by a folder, say) rather than the file's own completion. Never
  // throws.
  int TryCommit(bool* move_failed = nullptr) noexcept;

  // Closes the handle and removes the temporary (only when it is still the file written).
  // Nothing stands at the final name because of it. Never throws.
  void Discard() noexcept;

 private:
  File file_;
  std::string final_path_;
  std::string temporary_path_;
};

// Removes from `folder` (with its trailing separator) every entry whose name has the form of a
// temporary and that is a file or link (a run killed before it could remove them leaves them).
// Call only while holding the folder's lock. Returns how many were removed. Never throws.
int RemoveStaleTemporaries(const std::string& folder) noexcept;

}  // namespace kel
