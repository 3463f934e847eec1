// The job state: what one run collected and the pass archives. One instance for the program
// (TheJobState) lives beside the window; tests make their own.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/string_list.h"

namespace kel {

struct JobState {
  // Entry i of the three lists describes the file numbered i. Only ListingLines is ever
  // reordered (sorted when the index is saved). The lists exist between Create and Release.
  std::unique_ptr<TStringList> ListingLines;  // index lines, collection order until sorted
  std::unique_ptr<TStringList> ArchivePaths;  // output field text + disk-form archive name
  std::unique_ptr<TStringList> SourceFiles;   // full path as the search reported it
  int32_t FileCount = 0;                      // files collected; the next sequence number

  // Creates the three lists (empty) in the order above; lists that exist are replaced.
  void Create();
  // Releases the three lists in the same order. FileCount keeps its value.
  void Release();
  bool Exists() const { return ListingLines && ArchivePaths && SourceFiles; }
  // Empties the lists in the order above and sets FileCount to 0. Requires Exists().
  void Clear();
};

// The program's job state, the one the window's handlers work on.
JobState& TheJobState();

}  // namespace kel
