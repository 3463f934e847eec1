#include "search/search_support.h"

#include "platform/exceptions.h"
#include "platform/file_info.h"

namespace kel::search_detail {

namespace {
constexpr int kBadFileName = 3;
}  // namespace

std::string JoinEntryPath(const std::string& folder, const std::string& name) {
  if (folder.size() + name.size() > kMaxPathLength) {
    EInOutError error(kBadFileName);
    error.SetReasonPath(folder + name);
    throw error;
  }
  return folder + name;
}

}  // namespace kel::search_detail
