// Zip readers we did not write. An archive made by a test counts as good only when Info-ZIP
// unzip, 7-Zip, bsdtar and Python's zipfile all accept it and extract the exact bytes.
#pragma once

#include <map>
#include <string>

namespace kel::test {

// Expected entries: name (the bytes as stored) -> content.
using ZipEntries = std::map<std::string, std::string>;

// Checks `archive` with `unzip -t`, `7z t` (7zz where that is the command), `bsdtar -tf` and
// Python's zipfile (testzip, names, contents), then extracts it with unzip, 7-Zip and bsdtar
// and compares every file with `expected`. Adds a GoogleTest failure for every mismatch.
// `name_encoding` is the encoding Python and bsdtar read names in ("utf-8" or "cp932").
void ExpectArchiveReadable(const std::string& archive, const ZipEntries& expected,
                           const std::string& name_encoding = "utf-8");

// The 7-Zip command on this machine ("7z" or "7zz").
std::string SevenZipCommand();

}  // namespace kel::test
