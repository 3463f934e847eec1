// Reads a single-entry archive back after it was written: its end record (and the Zip64 end
// record and locator when present), its one central record, the local header, the entry name's
// exact bytes and the deflate data, which is inflated to check its CRC-32 and size against the
// records and against the source file. Memory stays flat in the archive's size.
#pragma once

#include <cstdint>
#include <string>

#include "platform/exceptions.h"

namespace kel {

// "書庫 X の検証に失敗しました: <reason>" - the archive X does not hold what was written into it.
class EVerifyError : public Exception {
 public:
  EVerifyError(const std::string& archive_path, const std::string& reason);
  const char* ClassName() const noexcept override { return "EVerifyError"; }
};

// What the archive must hold.
struct ExpectedEntry {
  std::string name;    // the entry name's bytes as the builder writes them
  uint16_t flags = 0;  // general-purpose flags of both headers
  uint64_t size = 0;   // the source's size
};

// Checks `archive_path` against `expected`. Raises EVerifyError naming the archive on the first
// mismatch, also when the archive cannot be read (the reason is then the input/output error's
// text).
void VerifyArchive(const std::string& archive_path, const ExpectedEntry& expected);

}  // namespace kel
