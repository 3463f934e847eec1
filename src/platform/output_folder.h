// The output folder of a run, opened once and held open until the run ends: every output is
// created, moved, removed, looked at and listed in the folder that was checked and locked, even
// when the path that named it is moved away or pointed elsewhere meanwhile. A run that cannot
// reach that folder any more fails; it never writes into another.
//
// POSIX: a directory descriptor (the path's links are followed once, at the open) and the *at
// calls relative to it; the lock is flock on that descriptor. Windows: a handle on the folder
// that lets others read and write in it but not rename or delete it, the calls on full paths
// below it, and the lock a named object made of the folder's identity.
//
// Names given to the methods are bare entry names (no separator). The methods are const and
// may be called from several threads at once. None throws.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_identity.h"

namespace kel {

// What an entry of the folder is, looked at without following a link at its name.
struct OutputEntry {
  enum class Kind {
    kRegular,    // a regular file
    kLink,       // a symbolic link (Windows: any reparse point), dangling or not
    kDirectory,  // a folder
    kOther,      // a FIFO, socket or device node
  };
  Kind kind = Kind::kOther;
  uint32_t links = 1;          // names of the file (hard links)
  bool owned_by_user = false;  // its owner is the user running (true where none is recorded)
  uint64_t size = 0;
  FileIdentity identity;
};

class OutputFolder {
 public:
  enum class LockState {
    kLocked,       // this run holds the folder
    kBusy,         // another run has it
    kUnsupported,  // the file system cannot lock it (ENOLCK, EBADF, EOPNOTSUPP: network
                   // file systems); the run may go on, but must remove nothing
    kFailed,       // the lock could not be taken for another reason; error number says why
  };

  OutputFolder() = default;
  ~OutputFolder();  // closes the folder, which releases its lock
  OutputFolder(OutputFolder&& other) noexcept;
  OutputFolder& operator=(OutputFolder&& other) noexcept;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Opens the folder `path` as the user gave it (a link to a folder is followed, here and only
  // here). `path` is kept, with a separator added, for the paths shown to the user. Returns a
  // closed folder with `error_number` set (message-table number) when it cannot be opened or
  // is no folder (3).
  static OutputFolder TryOpen(const std::string& path, int& error_number) noexcept;

  bool IsOpen() const noexcept { return handle_ != kNoHandle; }
  // The path the folder was opened by, ending in a separator.
  const std::string& Path() const noexcept { return path_; }

  // Takes the folder's one-run-at-a-time lock without waiting; held until the folder is closed.
  // `error_number` is set for kFailed.
  LockState TryLock(int& error_number) noexcept;
  bool Locked() const noexcept { return locked_; }

  // Creates `name` new (kCreateNew: fails with 80 when any entry stands there, never follows a
  // link; kCreateHidden hides it where the system marks that by an attribute).
  File TryCreateNew(const std::string& name, bool hidden, int& error_number) const noexcept;

  // A new regular file in the folder that has no name yet (Linux's O_TMPFILE), for TryLinkNew
  // to name once it is complete: a run that dies meanwhile leaves nothing behind, and the
  // folder's entries change once per output instead of twice (create and move). A closed File
  // where the file system or the system has no such files; the folder then stops asking, and
  // the caller writes a named temporary instead.
  File TryCreateUnnamed() const noexcept;
  // Gives the unnamed `file` the name `name`, never replacing an entry there (80 then). 0 or the
  // message-table number.
  int TryLinkNew(const File& file, const std::string& name) const noexcept;
  // Makes TryCreateUnnamed refuse from now on: outputs then go through named temporaries.
  void UseNamedTemporaries() noexcept { unnamed_refused_ = true; }
  // Whether an output's final name was found taken before: a folder that holds an earlier
  // run's outputs, whose next ones are best named as temporaries straight away.
  bool NameTakenBefore() const noexcept { return name_taken_before_; }
  void NoteNameTaken() const noexcept { name_taken_before_ = true; }

  // Opens `name` for reading only when it is itself a regular file: never through a link,
  // never blocking on a FIFO or opening a device. `entry` receives what was opened. A closed
  // File with `error_number` set otherwise (5 for an entry of another kind).
  File TryOpenRegular(const std::string& name, OutputEntry& entry,
                      int& error_number) const noexcept;

  // What stands at `name` (a link itself, not what it points to); nothing when no entry stands
  // there or it cannot be looked at (`error_number`, optional, says why).
  std::optional<OutputEntry> TryEntry(const std::string& name,
                                      int* error_number = nullptr) const noexcept;
  // The identity of the file `name` reaches, links followed; nothing when there is none.
  std::optional<FileIdentity> TryTargetIdentity(const std::string& name) const noexcept;

  // Moves `from` onto `to` in one step, replacing the entry at `to` as TryReplaceFile does
  // (never a folder or device node: 5). 0 or the message-table number.
  int TryReplace(const std::string& from, const std::string& to) const noexcept;

  // Removes the entry `name` itself (a file, or a link, never a folder). 0 or the number.
  int TryRemove(const std::string& name) const noexcept;
  // Removes `name` only while it is still the regular file `identity` (not a link to it).
  bool TryRemoveIfSame(const std::string& name, const FileIdentity& identity) const noexcept;

  // The names of the folder's entries, "." and ".." left out, in the file system's order.
  // False with `error_number` set when the listing fails (also part-way).
  bool TryList(std::vector<std::string>& names, int& error_number) const noexcept;

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;  // POSIX: the directory descriptor; Windows: the HANDLE
  intptr_t lock_ = kNoHandle;    // Windows: the lock object; unused on POSIX (flock on handle_)
  bool locked_ = false;
  std::string path_;
  std::string full_path_;  // Windows: the normalised full path the calls are made on
  mutable std::atomic<bool> unnamed_refused_{false};  // TryCreateUnnamed failed once, or told to
  mutable std::atomic<bool> name_taken_before_{false};
  void Close() noexcept;
};

}  // namespace kel
