// Reads a single-entry archive as the zip builder writes it: its end record (and the Zip64 end
// record and locator when present), its one central record, the local header and the deflate
// data, which is inflated to check its CRC-32 and size against the records. Every problem is
// reported as a kind with its details; the caller decides whether reading goes on (the check of
// a delivery wants them all, --verify only the first). Reading is streamed: memory stays flat
// whatever the entry's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kel {

class File;

enum class ArchiveProblem {
  // Problems after which nothing more can be read.
  kUnreadable,          // a read failed; `text` is the message table's text
  kNoEndRecord,         // no end record closes the file (truncated, appended to, not a zip)
  kEndRecordDisk,       // the end record names a disk other than 0
  kEndRecordCounts,     // its two entry counts differ
  kNoZip64End,          // a field is marked as in the Zip64 end record, which is missing
  kZip64EndPlace,       // the locator does not point right in front of itself
  kZip64EndBroken,      // the Zip64 end record's signature, size or disk fields are wrong
  kZip64EndDiffers,     // the end record and the Zip64 end record disagree
  kEntryCount,          // not exactly one entry; `actual` the count
  kDirectoryPlace,      // the directory does not end where the end records begin
  kDirectorySize,       // the directory cannot hold one record
  kNoCentralRecord,     // no central record signature
  kCentralLength,       // the record's lengths do not add up to the directory's size
  kMethod,              // not deflate; `actual` the method
  kCentralDisk,         // the record's disk is not 0
  kZip64ExtraShort,     // the Zip64 extra field lacks a value it must hold
  kCentralExtraBroken,  // the central record's extra fields do not parse
  kNoZip64Extra,        // a value is marked as in the Zip64 extra field, which is missing
  kLocalOffset,         // the local header is not at offset 0; `actual` its offset
  kNoLocalHeader,       // no local header signature at offset 0
  kLocalExtra,          // the local header's extra field is not the builder's Zip64 field
  kDataLength,          // the data does not fill the space between local header and directory
  kDataShort,           // the deflate stream ends before it is complete
  kInflate,             // inflate refused the data; `text` is zlib's message
  // Problems after which reading goes on.
  kEntryName,      // the entry's name is not the one expected (ExpectedEntry)
  kFlags,          // the general-purpose flags are not those expected; `actual` the flags
  kUtf8Mark,       // the name is marked UTF-8 but is not
  kLocalName,      // the local header's name differs from the central record's
  kLocalDiffers,   // version, flags, method, time or CRC differ between the two headers
  kLocalSizes,     // the sizes differ between the two headers
  kTrailingData,   // data follows the end of the deflate stream
  kCrc,            // `recorded` the central record's CRC-32, `actual` the data's
  kSize,           // `recorded` the central record's size, `actual` the inflated size
  kSourceSize,     // `recorded` the source's size (ExpectedEntry), `actual` the inflated size
  kUnneededZip64,  // a Zip64 record or field where no value needs one (a warning)
};

struct ArchiveFinding {
  ArchiveProblem kind = ArchiveProblem::kUnreadable;
  uint64_t recorded = 0;
  uint64_t actual = 0;
  std::string text;
  int error_number = 0;  // for kUnreadable
};

// True for the problems after which nothing more is read.
bool IsFatal(ArchiveProblem kind);
// True for a problem that readers do not mind (reported, but not a failure).
bool IsWarning(ArchiveProblem kind);

// What the archive must hold, when the caller knows it exactly (--verify).
struct ExpectedEntry {
  std::string name;    // the entry name's bytes as the builder writes them
  uint16_t flags = 0;  // general-purpose flags of both headers
  uint64_t size = 0;   // the source's size
};

// The entry as its central record describes it.
struct EntryFacts {
  uint16_t needed = 0;
  uint16_t flags = 0;
  uint32_t time = 0;  // MS-DOS date and time
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint64_t offset = 0;
  std::string name;  // the bytes as stored
};

struct ArchiveReadHooks {
  // Checked right after the central record (name, flags) and at the end (size); none: only the
  // archive's own consistency is checked.
  const ExpectedEntry* expected = nullptr;
  // Each problem in the order found. Returning false (or throwing) ends the reading; after a
  // fatal problem it ends anyway.
  std::function<bool(const ArchiveFinding&)> on_finding;
  // Once the central record is read, before the data.
  std::function<void(const EntryFacts&)> on_entry;
  // Each block of inflated data, in order.
  std::function<void(const unsigned char* data, std::size_t length)> on_data;
  // Each block of archive bytes read from the data, with its length (for progress displays).
  std::function<void(uint64_t bytes)> on_progress;
};

// Reads the archive open in `file` from its start. Returns the entry's facts when the central
// record could be read. Raises only what the hooks raise.
std::optional<EntryFacts> ReadArchive(File& file, const ArchiveReadHooks& hooks);

}  // namespace kel
