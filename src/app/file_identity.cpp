#include "app/file_identity.h"

#include <sys/stat.h>

namespace kel {

std::optional<FileIdentity> QueryFileIdentity(const std::string& path) noexcept {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

}  // namespace kel
