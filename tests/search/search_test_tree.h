// Helpers for the search tests: building real folder trees and pinning the time zone.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace kel::test {

// Creates the directory (the parent must exist); fails the test on error.
void MakeDir(const std::string& path);
// Creates a symbolic link at `path` pointing to `target`; fails the test on error.
void MakeLink(const std::string& target, const std::string& path);
// Sets the access and modification times (UTC seconds); fails the test on error.
void SetTimes(const std::string& path, time_t access, time_t modification);
// Names relative to `root`, for readable expectations.
std::vector<std::string> Relative(const std::string& root, const std::vector<std::string>& names);

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
