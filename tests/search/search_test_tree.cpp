#include "search/search_test_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kel::test {

void MakeDir(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) ADD_FAILURE() << "mkdir " << path << ": " << strerror(errno);
}

void MakeLink(const std::string& target, const std::string& path) {
  if (::symlink(target.c_str(), path.c_str()) != 0)
    ADD_FAILURE() << "symlink " << path << ": " << strerror(errno);
}

void SetTimes(const std::string& path, time_t access, time_t modification) {
  const struct timespec times[2] = {{access, 0}, {modification, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    ADD_FAILURE() << "utimensat " << path << ": " << strerror(errno);
}

std::vector<std::string> Relative(const std::string& root, const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& name : names) {
    if (name.compare(0, root.size(), root) == 0) {
      out.push_back("~" + name.substr(root.size()));
    } else {
      out.push_back(name);
    }
  }
  return out;
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
