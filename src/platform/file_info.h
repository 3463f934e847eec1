// File attributes, status and full-path expansion.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kel {

// MS-DOS attribute flags as the program stores and reports them. On Linux: kDirectory for a
// directory, kReadOnly when the owner may not write it, kHidden when its name begins with ".",
// kArchive for everything that is not a directory. On Windows: the file's own attributes as the
// system reports them (these five bits). Links are followed.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
};
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

struct FileStatus {
  uint32_t attributes = 0;  // the flags above
  uint32_t unix_mode = 0;   // st_mode of the file (type and permission bits); on Windows made
                            // from the attributes: 0100644, 0100444 when read-only, 0040755
  uint64_t size = 0;
  bool is_directory = false;
  bool is_regular = false;  // a regular file, reached directly or through links
  // Device and inode identify the file (links followed), e.g. to notice a directory met twice
  // through symbolic links. Windows: the volume serial number and the file index.
  uint64_t device = 0;
  uint64_t inode = 0;
  uint32_t links = 1;  // names the file has; 0 once an open file was removed from its folder
  std::optional<struct timespec> creation_time;  // birth time where the file system has one
  struct timespec last_write_time {};
  struct timespec last_access_time {};
  // When the file's status last changed (POSIX ctime; Windows' change time): moves with every
  // write, truncation and rename, so a read that saw no change in it and in the size and write
  // time read a file that stood still.
  struct timespec change_time {};
};

// The attribute flags of `file_name` computed from a status (the name decides kHidden).
uint32_t AttributesFromMode(uint32_t unix_mode, const std::string& file_name);

// The status of `path`, links followed. Nothing when it does not exist or cannot be reached;
// `error_number` (optional) receives the message-table number then.
std::optional<FileStatus> QueryFileStatus(const std::string& path, int* error_number = nullptr);

// The attribute flags of `path`, or kInvalidAttributes when it cannot be queried.
uint32_t FileGetAttr(const std::string& path);

// An existing directory (links followed).
bool DirectoryExists(const std::string& path);

// A regular file, reached directly or through symbolic links. FIFOs, sockets, devices,
// directories and dangling links are not.
bool IsRegularFile(const std::string& path);

// `path` made absolute against the current directory, with "." and ".." folded away lexically;
// the path need not exist. A trailing separator is kept. An empty path stays empty. A result
// longer than the platform's path limit raises EInOutError (3) instead of being cut. On Windows
// the names lose their trailing dots and spaces, as in any path typed there: for folders the
// user gave, never for names a listing returned.
std::string ExpandFileName(const std::string& path);

// `path`, a folder the user gave, resolved as the system resolves it when opening it: symbolic
// links followed, "." and ".." taken after the link they follow (POSIX realpath; Windows
// GetFullPathNameW, which also takes trailing dots and spaces off names), no trailing separator. Nothing when it does not exist or cannot be reached; `error_number` (optional)
// receives the message-table number then.
std::optional<std::string> ResolveExistingPath(const std::string& path,
                                               int* error_number = nullptr);

// The platform's limit for a whole path, in bytes: PATH_MAX less its terminator on POSIX; on
// Windows what the "\\?\" form takes (32,767 UTF-16 units with the prefix and terminator; a
// character never has fewer bytes than UTF-16 units).
extern const std::size_t kMaxPathLength;

// True when `path` is relative to the current directory and nothing else (no root, no drive), so
// that the current directory put in front of it makes it full.
bool IsRelativePath(const std::string& path);

}  // namespace kel
