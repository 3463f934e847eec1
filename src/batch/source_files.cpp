#include "batch/source_files.h"

#include <algorithm>
#include <cstring>

#include "platform/directory_lookup.h"
#include "platform/file_info.h"

namespace kel {

namespace {
constexpr std::size_t kBlock = 256 << 10;
}  // namespace

SourceFiles::SourceFiles(const std::string& folder,
                         const std::function<bool(const std::string&)>& skip) {
  DirectoryLookup lookup;
  FindRecord record;
  for (bool found = lookup.FindFirst(folder + "*", record); found;
       found = lookup.FindNext(record)) {
    const std::string& name = record.long_name;
    if (name == "." || name == ".." || (record.attributes & kAttrDirectory) != 0) continue;
    if (skip(name) || !IsRegularFile(folder + name)) continue;
    files_.push_back({name, folder + name});
  }
  std::sort(files_.begin(), files_.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  for (std::size_t i = 0; i < files_.size(); ++i)
    by_name_.emplace(files_[i].name, static_cast<int>(i));
}

int SourceFiles::Find(const std::string& name) const {
  const auto it = by_name_.find(name);
  return it == by_name_.end() ? -1 : it->second;
}

SourceComparison::SourceComparison(const std::string& path) {
  // A run reads a source through its links; the file itself is opened here, so that the open
  // can refuse to follow anything and keep the access time.
  const std::string target = ResolveExistingPath(path, &error_number_).value_or(path);
  file_ = File::TryOpen(target, OpenMode::kReadEntry, error_number_);
  if (!file_.IsOpen()) return;
  int error_number = 0;
  if (const auto status = file_.Status(target, error_number)) {
    size_ = status->size;
    write_time_ = status->last_write_time;
  }
  buffer_.reset(new unsigned char[kBlock]);
}

void SourceComparison::Feed(const unsigned char* data, std::size_t length) {
  while (length > 0 && !difference_ && file_.IsOpen()) {
    const std::size_t want = std::min(length, kBlock);
    std::size_t got = 0;
    while (got < want) {
      int error_number = 0;
      const int64_t n = file_.TryRead(buffer_.get() + got, want - got, error_number);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    read_ += got;
    if (std::memcmp(buffer_.get(), data, got) != 0 || got < want) {
      std::size_t at = 0;
      while (at < got && buffer_[at] == data[at]) ++at;
      difference_ = offset_ + at;
      return;
    }
    offset_ += got;
    data += got;
    length -= got;
  }
}

std::optional<uint64_t> SourceComparison::FirstDifference() {
  if (!difference_ && file_.IsOpen()) {
    unsigned char extra = 0;
    int error_number = 0;
    if (file_.TryRead(&extra, 1, error_number) != 0) difference_ = offset_;
  }
  return difference_;
}

}  // namespace kel
