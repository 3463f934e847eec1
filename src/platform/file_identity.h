// The identity of a file on disk: the same device and inode means the same file, whatever path
// (link, hard link, another spelling) reaches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kel {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
  std::size_t operator()(const FileIdentity& id) const noexcept {
    return static_cast<std::size_t>(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

// The identity of `path` with links followed; nothing when it does not exist or cannot be
// reached. Never throws.
std::optional<FileIdentity> QueryFileIdentity(const std::string& path) noexcept;

// The identity of the entry at `path` itself, links not followed (a link has its own).
std::optional<FileIdentity> QueryEntryIdentity(const std::string& path) noexcept;

// Removes `path` only when it is itself (not through a link) a regular file with identity `id`,
// so that a file this run created is removed and nothing else ever is. True when removed.
// Never throws.
bool RemoveFileIfSame(const std::string& path, const FileIdentity& id) noexcept;

}  // namespace kel
