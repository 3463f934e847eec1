#include "platform/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kel {

std::optional<FileIdentity> QueryFileIdentity(const std::string& path) noexcept {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::optional<FileIdentity> QueryEntryIdentity(const std::string& path) noexcept {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool RemoveFileIfSame(const std::string& path, const FileIdentity& id) noexcept {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} != id)
    return false;
  return ::unlink(path.c_str()) == 0;
}

}  // namespace kel
