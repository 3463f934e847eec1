#include "search/search_support.h"

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

}  // namespace kel::search_detail
