// Directory lookup in the manner of the platform's find-first/find-next: one open lookup
// yields the entries of one folder that match a mask, "." and ".." included, in the order the
// file system gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_info.h"

namespace kel {

// One entry as the lookup reports it.
struct FindRecord {
  // The entry's own name. On Windows, a name without an exact form in the program's code page
  // (a Korean name under code page 932) has each such character as "<U+XXXX>" here, which no
  // Windows name can hold, and exact_name false: such a file can be named but not opened.
  std::string long_name;
  bool exact_name = true;
  std::string alternate_name;  // the 8.3 name where the file system has one; empty on Linux
  uint32_t attributes = 0;     // kAttr* flags, links followed
  // A regular file, links followed; false for a folder, FIFO, socket, device or dangling link.
  bool is_regular = false;
  uint32_t size_high = 0;
  uint32_t size_low = 0;
  std::optional<struct timespec> creation_time;  // missing where there is no birth time
  std::optional<struct timespec> last_write_time;
  std::optional<struct timespec> last_access_time;
  // Device and inode identify the entry (links followed); both 0 when it could not be queried.
  uint64_t device = 0;
  uint64_t inode = 0;
};

// An open lookup; closes itself when destroyed.
class DirectoryLookup {
 public:
  DirectoryLookup() = default;
  ~DirectoryLookup();
  DirectoryLookup(DirectoryLookup&&) noexcept;
  DirectoryLookup& operator=(DirectoryLookup&&) noexcept;
  DirectoryLookup(const DirectoryLookup&) = delete;
  DirectoryLookup& operator=(const DirectoryLookup&) = delete;

  // Looks up `pattern`: a folder path followed by a mask ("/data/*.*"), or a bare path without
  // a mask, which finds that entry itself. A path that ends in a separator finds nothing.
  // Entries are described with links followed; an entry that cannot be queried (a dangling
  // link, a link cycle, one removed meanwhile) is still reported, as what the link or the
  // directory listing says of it: a non-directory has kAttrArchive, missing times stay empty.
  // Never throws; a folder that cannot be opened finds nothing.
  // Returns false when nothing is found; otherwise `first` holds the first entry and the lookup
  // stays open for Next().
  bool FindFirst(const std::string& pattern, FindRecord& first);
  // The next entry, or false when there is none left.
  bool FindNext(FindRecord& next);
  void Close();
  bool IsOpen() const;
  // Why the last FindFirst or FindNext found nothing more although the folder may hold more:
  // the folder could not be opened (a folder without read access: 5) or its listing failed
  // part-way, as a message-table number; 0 when the lookup came to the real end of what
  // matched (also when nothing matched or, for a bare path, the entry does not exist).
  int ErrorNumber() const noexcept { return error_number_; }

 private:
  struct State;
  State* state_ = nullptr;
  int error_number_ = 0;
};

// Windows-style mask matching: "*" any run, "?" one character, case-insensitive for ASCII;
// "*.*" and "*" match every name, with or without a dot.
bool MatchesMask(const std::string& name, const std::string& mask);

}  // namespace kel
