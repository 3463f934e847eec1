#include "search/search_test_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kel::test {

void MakeTree(const TempDir& root, std::initializer_list<const char*> entries) {
  for (const std::string entry : entries) {
    const std::size_t arrow = entry.find("->");
    int rc = 0;
    if (arrow != std::string::npos) {
      rc = ::symlink(entry.substr(arrow + 2).c_str(), (root / entry.substr(0, arrow)).c_str());
    } else if (entry.ends_with("/")) {
      rc = ::mkdir((root / entry).c_str(), 0755);
    } else {
      WriteFile(root / entry, "");
    }
    if (rc != 0) ADD_FAILURE() << entry << ": " << strerror(errno);
  }
}

void SetTimes(const std::string& path, time_t access, time_t modification) {
  const struct timespec times[2] = {{access, 0}, {modification, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    ADD_FAILURE() << "utimensat " << path << ": " << strerror(errno);
}

std::vector<std::string> SortedRelative(const std::string& root, std::vector<std::string> names) {
  for (std::string& name : names) {
    if (name.starts_with(root)) name = "~" + name.substr(root.size());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
  if (const char* old = std::getenv("TZ")) {
    had_value_ = true;
    old_value_ = old;
  }
  ::setenv("TZ", tz, 1);
  ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (had_value_) {
    ::setenv("TZ", old_value_.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

ScopedCurrentDir::ScopedCurrentDir(const std::string& path)
    : old_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(path);
}

ScopedCurrentDir::~ScopedCurrentDir() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
}

}  // namespace kel::test
