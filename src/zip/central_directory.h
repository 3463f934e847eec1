// The archive's central directory and end records, written by CloseArchive.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "zip/zip_builder.h"

namespace kel {

// The central directory record of one entry followed by its name. Values that do not fit 32
// bits are 0xFFFFFFFF there and sit in a Zip64 extra field (uncompressed, compressed, offset).
std::string CentralRecord(const std::string& name, const TPkHeader& header);

// The end record for `count` entries whose central directory of `size` bytes starts at
// `offset`, preceded by the Zip64 end record and locator when a value does not fit.
std::string EndRecords(uint64_t count, uint64_t offset, uint64_t size);

// Writes the central records of `entries` and the end records at the archive's position,
// which is `start`. Raises EInOutError when a write fails.
void WriteCentralDirectory(File& archive, uint64_t start,
                           const std::vector<std::pair<std::string, TPkHeader>>& entries);

}  // namespace kel
