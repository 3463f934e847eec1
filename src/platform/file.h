// An open file with the error numbers of the message table. Sizes and offsets are 64-bit.
// Operations named Try* never throw and report failures through their result; the others raise
// EInOutError. The destructor closes an open file and ignores a failure of that close; call
// Close() to learn of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kel {

enum class OpenMode {
  kRead,          // read only; the file must exist
  kReadWrite,     // read and write; the file must exist; not truncated
  kCreate,        // read and write; created, or truncated to 0 when it exists
  kCreateNew,     // read and write; a new file only: fails (number 80) when any entry, even a
                  // dangling link, stands at the path; never follows a link
  kCreateHidden,  // as kCreateNew, and hidden where the system marks that by an attribute
                  // (Windows; on POSIX a name's leading "." hides it)
};

// The message-table number of "the file exists" (kCreateNew found an entry at the path).
constexpr int kErrorFileExists = 80;

struct FileStatus;

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens `path`; raises EInOutError on failure. Symbolic links are followed.
  static File Open(const std::string& path, OpenMode mode);
  // Opens `path`; on failure returns a closed File and sets `error_number` (message-table
  // number).
  static File TryOpen(const std::string& path, OpenMode mode, int& error_number) noexcept;
  // The same, with the opened file's status (as Status(name) gives it) taken in the same
  // step: what is read is what the status describes. `status` is empty on failure.
  static File TryOpen(const std::string& path, OpenMode mode, const std::string& name,
                      std::optional<FileStatus>& status, int& error_number) noexcept;

  bool IsOpen() const noexcept { return handle_ != kNoHandle; }

  // Reads up to `count` bytes at the current position. Returns the number read (0 at the end of
  // the file), or -1 with `error_number` set.
  int64_t TryRead(void* buffer, std::size_t count, int& error_number) noexcept;
  // Writes `count` bytes at the current position, retrying short writes. Returns the number
  // written; when it is below `count`, `error_number` says why.
  int64_t TryWrite(const void* buffer, std::size_t count, int& error_number) noexcept;

  // Throwing forms of the above. Read returns the count read (0 at the end of the file); Write
  // raises unless every byte was written.
  int64_t Read(void* buffer, std::size_t count);
  void Write(const void* buffer, std::size_t count);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }

  int64_t Size() const;       // raises EInOutError
  int64_t Position() const;   // raises EInOutError
  void Seek(int64_t offset);  // from the start; raises EInOutError
  // Last modification time (UTC), raises EInOutError.
  struct timespec ModificationTime() const;
  // The status of the open file itself, whatever has happened to its path since it was opened
  // (size, times, kind, identity; attributes as FileStatus says, taken from `name`). Nothing
  // when the system cannot say; `error_number` then receives the message-table number.
  std::optional<FileStatus> Status(const std::string& name, int& error_number) const noexcept;

  // Cuts the file back (or extends it) to `size` bytes; false on failure. Never throws.
  bool TryTruncate(uint64_t size) noexcept;

  // Closes the file; raises EInOutError when the close reports an error (the descriptor is
  // released either way). Closing a closed file does nothing.
  void Close();
  // The same without throwing: 0, or the message-table number of the failure.
  int TryClose() noexcept;

 private:
  friend class OutputFolder;  // makes Files of entries it opens relative to itself
  // The open file: a descriptor on POSIX, a HANDLE on Windows (whose invalid value is -1 too).
  static constexpr intptr_t kNoHandle = -1;
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kNoHandle;
};

// Moves the file at `from` onto `to`, in one step, replacing whatever entry stands at `to` (a
// file, a symbolic link, a FIFO) without writing through it or touching what a link points to.
// Both must be in the same folder. The moved file is not hidden by attribute (Windows takes off
// the one kCreateHidden gave). 0, or the message-table number of the failure (a folder or a
// device node at `to` gives 5: neither is ever replaced; on Windows neither is a read-only
// file). Never throws.
int TryReplaceFile(const std::string& from, const std::string& to) noexcept;

// Removes the entry at `path` itself: a file, or a link (never what it points to); never a
// folder. 0 when removed, else the message-table number (2 when nothing stood there). Never
// throws.
int TryRemoveEntry(const std::string& path) noexcept;

}  // namespace kel
