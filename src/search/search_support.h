// Small pieces shared by TSearchDir and TSearchFile; not part of the layer's interface.
#pragma once

#include <string>

namespace kel::search_detail {

// Sets a busy flag for the lifetime of the scope, so that every way out of Execute resets it.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

// `folder` (already ending in a separator) followed by `name`. Throws EInOutError(3) when the
// result is longer than kMaxPathLength: such a path could not be opened, and a cut one would
// name another file.
std::string JoinEntryPath(const std::string& folder, const std::string& name);

}  // namespace kel::search_detail
