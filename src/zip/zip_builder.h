// The zip builder: complete Zip archives of deflated entries, one source file at a time.
//
// OpenArchive creates (or empties) the archive and starts a new entry list, AddFileToArchive
// deflates one file into it through the entry stream and remembers its central-directory facts,
// CloseArchive appends the central directory and the end record. Archives below 4 GiB and
// 65,535 entries hold only the classic records; beyond that, Zip64 records are added where a
// value does not fit.
//
// A TZipBuilder holds one archive at a time and is used by one thread at a time; separate
// builders may run on separate threads. The module-level functions below work on one default
// builder for the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/exceptions.h"
#include "platform/path_syntax.h"

namespace kel {

class File;
struct EntryStream;

// The builder's failure: a message and a Code (the inherited error number stays 0).
//   2 "Error opening " + source path     - the source cannot be opened for reading
//   2 "Error opening " + archive path    - the entry stream cannot be opened on the archive
//   4 "Error reading from " + source path
//   5 "Error writing to " + archive path - the data could not be written (also: the entry would
//                                          outgrow a field that has no Zip64 room)
//   3 "Error closing " + archive path    - finishing the entry failed
//   6 "Invalid entry name " + source path - the name is longer than 65,535 bytes or has no form
//                                          in the chosen name encoding
class EGZipError : public EInOutError {
 public:
  EGZipError(std::string message, int32_t code) : EInOutError(std::move(message), 0), Code(code) {}
  const char* ClassName() const noexcept override { return "EGZipError"; }

  int32_t Code;
};

// What the central directory needs of one entry.
class TPkHeader {
 public:
  uint32_t FileTime = 0;      // MS-DOS date/time of the last modification, local time
  uint64_t HeaderOffset = 0;  // offset of the local header
  uint32_t Crc = 0;
  uint64_t CompressedSize = 0;
  uint64_t UncompressedSize = 0;
  uint32_t Attributes = 0;  // MS-DOS attribute flags, taken after the entry was written
  uint32_t UnixMode = 0;    // st_mode, stored beside the flags for UTF-8 names
  uint16_t Flags = 2;       // general-purpose flags as in the local header
  bool Zip64Local = false;  // the local header carries a Zip64 extra field
};

// How entry names are stored.
enum class NameEncoding {
  kFileSystem,  // the file system's bytes; UTF-8 names with high bytes get the UTF-8 marks
  kCp932,       // UTF-8 file names converted to Microsoft code page 932, no UTF-8 marks (code 6 if
                // a name has no CP932 form)
};

class TZipBuilder {
 public:
  // Entry names in the native path syntax of the system code page (looked up at each entry).
  TZipBuilder();
  // Entry names in `syntax`; its code page also decides whether names get the UTF-8 marks.
  explicit TZipBuilder(PathSyntax syntax);

  // Starts a new archive at `archive_path`; entry names are made relative to the directory part
  // of `base_dir`. An open archive's entry list is dropped (its file stays without a central
  // directory). Creates or truncates the file; raises EInOutError when that fails (the new
  // name and empty list are in place then).
  void OpenArchive(const std::string& archive_path, const std::string& base_dir);

  // Adds `path` as one deflated entry. Does nothing without an open archive. Raises EGZipError
  // (codes above) or EInOutError (the local header cannot be written, the source cannot be
  // closed, its time or size cannot be read). After a failure the archive stays open with the
  // entries added before, and the file is cut back to where the failed entry began.
  void AddFileToArchive(const std::string& path);

  // Appends the central directory and end record and ends the archive. Does nothing without an
  // open archive. Raises EInOutError on any file failure; the archive then stays open here, cut
  // back to its entries where possible, so that the close can be tried again.
  void CloseArchive();

  // The open archive's path; empty when none is open.
  const std::string& ArchiveName() const { return archive_name_; }
  const std::string& ArchiveBaseDir() const { return archive_base_dir_; }
  // Entries added since OpenArchive, in order.
  const std::vector<std::pair<std::string, TPkHeader>>& ArchiveEntries() const {
    return archive_entries_;
  }

  int32_t CompressionLevel = 6;     // deflate level of new entries
  uint8_t CompressionStrategy = 0;  // 0 default, 1 filtered, 2 Huffman only
  NameEncoding Encoding = NameEncoding::kFileSystem;
  // Called after each block copied into an entry with that block's byte count. An exception it
  // throws (EAbort to cancel) reaches the caller of AddFileToArchive unchanged; the entry is
  // then not listed.
  std::function<void(uint64_t bytes)> OnProgress;

 private:
  PathSyntax Syntax() const;
  // Copies the source into the stream and closes both; raises EGZipError 4, 5 or 3.
  void FinishEntry(File& source, EntryStream* stream, const std::string& path);
  std::string EntryNameFor(const std::string& path, const PathSyntax& syntax) const;

  PathSyntax syntax_;
  bool syntax_given_ = false;
  std::string archive_name_;
  std::string archive_base_dir_;
  std::vector<std::pair<std::string, TPkHeader>> archive_entries_;
};

// The builder behind the module-level operations (created on first use).
TZipBuilder& DefaultZipBuilder();

void OpenArchive(const std::string& archive_path, const std::string& base_dir);
void AddFileToArchive(const std::string& path);
void CloseArchive();
// The default builder's settings.
extern int32_t& CompressionLevel;
extern uint8_t& CompressionStrategy;

}  // namespace kel
