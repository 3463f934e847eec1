// An ordered list of strings, unsorted until Sort() is called; duplicates allowed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kel {

class OutputFile;
class OutputFolder;

class TStringList {
 public:
  void Add(std::string s) { items_.push_back(std::move(s)); }
  void Clear() { items_.clear(); }
  void Delete(std::size_t index) { items_.erase(items_.begin() + static_cast<long>(index)); }
  std::size_t Count() const { return items_.size(); }
  const std::string& operator[](std::size_t index) const { return items_.at(index); }
  const std::vector<std::string>& Items() const { return items_; }

  // Sorts by AnsiCompareText (whole strings, case-insensitive, user's locale).
  void Sort();

  // Creates or replaces `path` and writes every string followed by CR LF, no byte-order mark.
  // The text goes to a hidden temporary that replaces the entry at `path` when complete (see
  // platform/output_file.h): a link standing there is replaced, not written through. Raises
  // EFCreateError when the file cannot be created, EWriteError when a write fails (what stood
  // at `path` is then left as it was); the system's reason rides beside the message.
  void SaveToFile(const std::string& path) const;
  // The same for the entry `name` of the open `folder` (the run's output folder): created,
  // written and moved into place there, whatever becomes of the folder's path meanwhile.
  void SaveToFile(const OutputFolder& folder, const std::string& name) const;
  // The bytes SaveToFile writes.
  std::string Text() const;

 private:
  void Save(OutputFile& output, int error_number, const std::string& path) const;
  std::vector<std::string> items_;
};

}  // namespace kel
