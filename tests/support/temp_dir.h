// Scoped temporary folders and small file helpers for tests. The folder and everything in it
// is removed when the object goes out of scope, also when an assertion failed.
#pragma once

#include <string>

namespace kel::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Absolute path without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + the system's separator ("/", or "\" on Windows) + name.
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path` (created or replaced); fails the test on error.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole content of `path`; fails the test on error.
std::string ReadFile(const std::string& path);
// Deterministic bytes: compressible text when `text` is true, otherwise pseudo-random.
std::string MakeBytes(std::size_t size, unsigned seed, bool text);
// POSIX only: runs `command` through /bin/sh; returns its exit status and puts stdout+stderr in
// `output`.
int RunCommand(const std::string& command, std::string* output = nullptr);
// `s` quoted for /bin/sh.
std::string ShellQuote(const std::string& s);

}  // namespace kel::test
