// The source side of the check of a delivery: the files a run would have archived from SOURCE,
// found by name, and the streamed comparison of one of them with the entry that holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file.h"

namespace kel {

struct SourceFile {
  std::string name;  // the bare name in the program's text
  std::string path;
};

class SourceFiles {
 public:
  SourceFiles() = default;
  // The regular files directly inside `folder` (with its trailing separator; links followed,
  // as a run collects them) whose names `skip` does not refuse, sorted by name.
  SourceFiles(const std::string& folder, const std::function<bool(const std::string&)>& skip);

  // The file named `name`, or -1.
  int Find(const std::string& name) const;
  const std::vector<SourceFile>& Files() const { return files_; }

 private:
  std::vector<SourceFile> files_;
  std::unordered_map<std::string, int> by_name_;
};

// One source file read alongside the inflated entry and compared with it, in flat memory.
class SourceComparison {
 public:
  // Opens `path` (links followed to the file itself, which is then opened without following
  // and with its access time left alone where the system allows). error_number() tells why not.
  explicit SourceComparison(const std::string& path);

  bool IsOpen() const { return file_.IsOpen(); }
  int ErrorNumber() const { return error_number_; }
  // The file's size and last write time when opened.
  uint64_t Size() const { return size_; }
  const struct timespec& WriteTime() const { return write_time_; }

  // The entry's next inflated bytes.
  void Feed(const unsigned char* data, std::size_t length);
  // After the last bytes: the offset of the first byte that differs, or nothing when the file
  // holds exactly the entry's bytes. A file longer than the entry differs where the entry ends.
  std::optional<uint64_t> FirstDifference();
  // Bytes read from the file so far.
  uint64_t BytesRead() const { return read_; }

 private:
  File file_;
  int error_number_ = 0;
  uint64_t size_ = 0;
  struct timespec write_time_ {};
  std::unique_ptr<unsigned char[]> buffer_;
  uint64_t offset_ = 0;  // bytes of the entry compared
  uint64_t read_ = 0;
  std::optional<uint64_t> difference_;
};

}  // namespace kel
