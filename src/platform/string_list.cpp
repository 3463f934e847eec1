#include "platform/string_list.h"

#include <algorithm>

#include "platform/code_page.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "platform/output_folder.h"

namespace kel {

void TStringList::Sort() {
  // Each string is converted for comparison once, not at each of the n log n comparisons.
  std::vector<AnsiTextKey> keys;
  keys.reserve(items_.size());
  for (const std::string& item : items_) keys.emplace_back(item);
  // A run's index lines come in sequence order, which is their sorted order too: one pass
  // over neighbours finds that, where the sort would compare about n log n pairs.
  bool in_order = true;
  for (std::size_t i = 1; i < keys.size() && in_order; ++i)
    in_order = CompareAnsiTextKeys(keys[i - 1], keys[i]) <= 0;
  if (in_order) return;
  std::vector<std::size_t> order(items_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
    return CompareAnsiTextKeys(keys[a], keys[b]) < 0;
  });
  std::vector<std::string> sorted;
  sorted.reserve(items_.size());
  for (std::size_t i : order) sorted.push_back(std::move(items_[i]));
  items_ = std::move(sorted);
}

std::string TStringList::Text() const {
  std::size_t size = 0;
  for (const auto& item : items_) size += item.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& item : items_) {
    text += item;
    text += "\r\n";
  }
  return text;
}

void TStringList::SaveToFile(const std::string& path) const {
  int error_number = 0;
  OutputFile output = OutputFile::TryCreate(path, error_number);
  Save(output, error_number, path);
}

void TStringList::SaveToFile(const OutputFolder& folder, const std::string& name) const {
  int error_number = 0;
  OutputFile output = OutputFile::TryCreate(folder, name, error_number);
  Save(output, error_number, folder.Path() + name);
}

void TStringList::Save(OutputFile& output, int error_number, const std::string& path) const {
  if (!output.IsOpen()) {
    EFCreateError error(path);
    error.SetReason(Reason::FromErrorNumber(error_number, path));
    throw error;
  }
  const std::string text = Text();
  if (output.Handle().TryWrite(text.data(), text.size(), error_number) !=
      static_cast<int64_t>(text.size())) {
    EWriteError error;
    error.SetReason(Reason::FromErrorNumber(error_number, path));
    throw error;  // the temporary goes with `output`; what stood at `path` stays as it was
  }
  // The commit's close can be the first report of lost data (network file systems, quotas).
  bool move_failed = false;
  if (const int commit_error = output.TryCommit(&move_failed); commit_error != 0) {
    if (move_failed) {
      // The name cannot be had (a folder stands there): the file was not created.
      EFCreateError error(path);
      error.SetReason(Reason::FromErrorNumber(commit_error, path));
      throw error;
    }
    EWriteError error;
    error.SetReason(Reason::FromErrorNumber(commit_error, path));
    throw error;
  }
}

}  // namespace kel
