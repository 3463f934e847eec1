// An output written beside its final name and moved into place when complete, so that a
// half-written file is never seen under the final name and whatever stood there (an older
// file, a symbolic or hard link, a FIFO) is replaced as an entry, never written through.
// Where the folder can make files without a name (Linux), the output is one until complete and
// is then linked under its final name when that is free, or else under a temporary name that
// is moved as above.
#pragma once

#include <memory>
#include <string>

#include "platform/file.h"

namespace kel {

// Temporaries are hidden and say what they are: ".kelvarin-" + a random part + "-" + the final
// file name + ".tmp", in the final name's folder.
constexpr const char* kTemporaryPrefix = ".kelvarin-";
constexpr const char* kTemporarySuffix = ".tmp";

// True when `file_name` (a bare name) looks like a temporary: the prefix, 12 hex digits, "-",
// some final name and the suffix. Looks only: whether one is provably this program's own, and
// may be removed or passed over, is for job/own_temporaries.h to say.
bool IsTemporaryName(const std::string& file_name);

class OutputFolder;

class OutputFile {
 public:
  OutputFile() = default;
  // Discards the temporary unless committed.
  ~OutputFile();
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates a new temporary for the entry `final_name` of `folder` (kCreateNew, a fresh random
  // part on a clash); the temporary, its move and its removal stay in that folder whatever
  // becomes of its path. `folder` must outlive the OutputFile. Nothing is done at the final
  // name. Returns a closed OutputFile with `error_number` set when the folder cannot be written.
  static OutputFile TryCreate(const OutputFolder& folder, const std::string& final_name,
                              int& error_number) noexcept;
  // The same for `final_path`, whose folder is opened for this one file.
  static OutputFile TryCreate(const std::string& final_path, int& error_number) noexcept;

  bool IsOpen() const noexcept { return file_.IsOpen(); }
  File& Handle() noexcept { return file_; }
  // Both as the folder's path and the name: for messages and tests. The temporary's is empty
  // while the output has no name.
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
  int CommitUnnamed(bool* move_failed) noexcept;
  int CloseAndMove(bool* move_failed) noexcept;

  File file_;
  bool unnamed_ = false;  // file_ has no name in the folder yet
  const OutputFolder* folder_ = nullptr;
  std::unique_ptr<OutputFolder> own_folder_;  // the folder opened by the path form
  std::string final_name_;
  std::string temporary_name_;
  std::string final_path_;
  std::string temporary_path_;
};

// Removes what stands at `name` in `folder` after the file of that name failed, so that a
// failed file leaves no archive (an older one of an earlier run included): only a regular file
// or a link (the link itself), never a folder, FIFO, socket or device node. 0 when removed or
// nothing stood there, else the message-table number (5 for an entry of another kind). Never
// throws.
int RemoveFailedOutput(const OutputFolder& folder, const std::string& name) noexcept;

}  // namespace kel
