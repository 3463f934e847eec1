// A small Zip reader for the zip layer's tests, written apart from the writer: it finds the end
// record (and the Zip64 one), walks the central directory, checks each local header against
// its central record and inflates every entry with zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/zip_readers.h"

namespace kel::test {

uint16_t Le16(const std::string& bytes, std::size_t at);
uint32_t Le32(const std::string& bytes, std::size_t at);
uint64_t Le64(const std::string& bytes, std::size_t at);

struct ReadEntry {
  std::string name;
  uint16_t made_by = 0, version_needed = 0, flags = 0, method = 0;
  uint32_t time = 0, crc = 0, external = 0;
  uint64_t compressed = 0, uncompressed = 0, offset = 0;
  std::string data;  // inflated
};

// Every entry of the archive in `bytes`; adds a GoogleTest failure for anything malformed (a
// wrong signature, a local header that disagrees with its central record, data that does not
// inflate to the stated size and CRC).
std::vector<ReadEntry> ReadArchive(const std::string& bytes);

// The same for an archive too large to hold in memory: the directory from the file's last
// 16 MiB and every local header compared with it, without inflating.
std::vector<ReadEntry> ReadArchiveDirectory(const std::string& path);

// Raw deflate (no header or trailer) of `data` at `level` with `strategy`, window 15, memory
// level 8: what an entry's data must equal.
std::string RawDeflate(const std::string& data, int level, int strategy);

// ReadArchive on the file at `path` compared with `expected` (entry order aside), then the
// outside readers.
void ExpectArchiveHolds(const std::string& path, const ZipEntries& expected,
                        const std::string& name_encoding = "utf-8");

// The outside readers' integrity tests only (unzip -t, 7z t, bsdtar -tf, Python's testzip),
// for archives whose entries cannot be compared by name (duplicates, huge entries). POSIX only
// (posix/archive_intact.cpp): it runs them through a shell.
void ExpectArchiveIntact(const std::string& path);

}  // namespace kel::test
