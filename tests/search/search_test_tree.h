// Helpers for the search tests: real folder trees, readable names, a pinned time zone.
#pragma once

#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kel::test {

// Creates entries below `root`, parents first: "dir/" is a folder, "link->target" a symbolic
// link, anything else an empty file. Fails the test on error.
void MakeTree(const TempDir& root, std::initializer_list<const char*> entries);
// Sets the access and modification times (UTC seconds); fails the test on error.
void SetTimes(const std::string& path, time_t access, time_t modification);
// `names` with the `root` prefix shown as "~", sorted.
std::vector<std::string> SortedRelative(const std::string& root, std::vector<std::string> names);

// Sets TZ for the scope and restores the previous value afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool had_value_ = false;
  std::string old_value_;
};

// Changes the current directory for the scope.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& path);
  ~ScopedCurrentDir();
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::string old_;
};

}  // namespace kel::test
