// The batch job's own failures. Each stops a run before anything is written.
#pragma once

#include <string>

#include "platform/exceptions.h"

namespace kel {

// Two collected files would get the same archive path: past 10,000 files the sequence field
// repeats. Raised at the end of collection; the timer is not armed.
class ENameClash : public Exception {
 public:
  ENameClash(const std::string& first_file, const std::string& second_file,
             const std::string& archive_path);
  const char* ClassName() const noexcept override { return "ENameClash"; }
};

// A collected file is the very file that an archive or "files.txt" would be written to (the
// output folder is the source folder, or reaches it through a link). Raised by the pass before
// the index is saved.
class ESourceOverwrite : public Exception {
 public:
  ESourceOverwrite(const std::string& source_file, const std::string& target_path);
  const char* ClassName() const noexcept override { return "ESourceOverwrite"; }
};

// The start action was pressed while a pass is archiving the collected files.
class EJobBusy : public Exception {
 public:
  EJobBusy();
  const char* ClassName() const noexcept override { return "EJobBusy"; }
};

}  // namespace kel
