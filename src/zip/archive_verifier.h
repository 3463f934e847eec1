// Reads a single-entry archive back after it was written (--verify): the archive reader's
// checks, the entry's exact name and flags, and the source's size. Stops at the first problem.
#pragma once

#include <cstdint>
#include <string>

#include "platform/exceptions.h"
#include "zip/archive_reader.h"

namespace kel {

// "書庫 X の検証に失敗しました: <reason>" - the archive X does not hold what was written into it.
class EVerifyError : public Exception {
 public:
  EVerifyError(const std::string& archive_path, const std::string& reason);
  const char* ClassName() const noexcept override { return "EVerifyError"; }
};

// The reason EVerifyError gives for `finding`, in the system's language (Japanese).
std::string VerifyReason(const ArchiveFinding& finding);

// Checks `archive_path` against `expected`. Raises EVerifyError naming the archive on the first
// problem that is not a warning (IsWarning), also when the archive cannot be opened or read
// (the reason is then the input/output error's text).
void VerifyArchive(const std::string& archive_path, const ExpectedEntry& expected);

}  // namespace kel
