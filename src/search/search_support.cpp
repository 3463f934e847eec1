#include "search/search_support.h"

#include <sys/stat.h>

#include "platform/exceptions.h"
#include "platform/file_info.h"

namespace kel::search_detail {

namespace {
constexpr int kBadFileName = 3;
}  // namespace

std::string JoinEntryPath(const std::string& folder, const std::string& name) {
  if (folder.size() + name.size() > kMaxPathLength) throw EInOutError(kBadFileName);
  return folder + name;
}

std::optional<DirectoryId> QueryDirectoryId(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return DirectoryId{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

}  // namespace kel::search_detail
