// The zip builder: complete Zip archives of deflated entries, one source file at a time.
//
// OpenArchive starts the archive and a new entry list, AddFileToArchive deflates one file into
// it through the entry stream and remembers its central-directory facts, CloseArchive appends
// the central directory and the end record. Archives below 4 GiB and 65,535 entries hold only
// the classic records; beyond that, Zip64 records are added where a value does not fit.
//
// The archive is written through one handle, from OpenArchive to CloseArchive, into a hidden
// temporary beside its path (platform/output_file.h), and moved onto its path only when
// complete: a half-written archive is never seen under its name, and whatever stood there (an
// older archive, a link to another file) is replaced, never written through.
//
// A TZipBuilder holds one archive at a time and is used by one thread at a time; separate
// builders may run on separate threads. The module-level functions below work on one default
// builder for the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/exceptions.h"
#include "platform/path_syntax.h"
#include "zip/block_deflate.h"

namespace kel {

class File;
class OutputFile;
class OutputFolder;
class WorkQueue;
struct EntryStream;
struct FileStatus;

// The builder's failure: a message and a Code (the inherited error number stays 0).
//   2 "Error opening " + source path     - the source cannot be opened for reading, or is no
//                                          regular file (a folder, FIFO, device)
//   2 "Error opening " + archive path    - the entry stream cannot be set up on the archive
//   4 "Error reading from " + source path - a read failed, or the file changed while it was
//                                          read (its size, times or length read differ)
//   5 "Error writing to " + archive path - the data could not be written (also: the entry would
//                                          outgrow a field that has no Zip64 room)
//   3 "Error closing " + archive path    - finishing the entry failed
//   6 "Invalid entry name " + source path - the name is longer than 65,535 bytes or has no form
//                                          in the chosen name encoding
// The Reason beside the message says why, where the system said (disk full, access denied, the
// file changed while being read, not a regular file).
class EGZipError : public EInOutError {
 public:
  EGZipError(std::string message, int32_t code, Reason reason = {})
      : EInOutError(std::move(message), 0), Code(code) {
    SetReason(reason);
  }
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
  kFileSystem,  // the file system's bytes; valid UTF-8 names with high bytes get the UTF-8
                // marks, other bytes (a Shift-JIS name on a Linux disk) go in unmarked
  kCp932,       // UTF-8 file names converted to Microsoft code page 932 (composed first where
                // they have no form as they are: Utf8NameToCp932), names that are valid CP932
                // already kept; no UTF-8 marks (code 6 if a name is neither)
};

class TZipBuilder {
 public:
  // Entry names in the native path syntax of the system code page (looked up at each entry).
  TZipBuilder();
  // Entry names in `syntax`; its code page also decides whether names get the UTF-8 marks.
  explicit TZipBuilder(PathSyntax syntax);

  TZipBuilder(const TZipBuilder&) = delete;
  TZipBuilder& operator=(const TZipBuilder&) = delete;
  // An archive still open is discarded (its temporary removed).
  ~TZipBuilder();

  // Archives of later OpenArchive calls go into `folder` (under their path's file name), the
  // folder a run opened and locked, whatever becomes of the path that named it; nullptr: into
  // the folder each archive's path names, opened for that archive. `folder` must outlive the
  // archives written into it.
  void SetOutputFolder(const OutputFolder* folder) noexcept { folder_ = folder; }

  // Starts a new archive for `archive_path`; entry names are made relative to the directory
  // part of `base_dir`. An open archive is discarded first (DiscardArchive without touching its
  // path). Creates the temporary; nothing happens at `archive_path` until CloseArchive. Raises
  // EInOutError when the temporary cannot be created (the new name and empty list are in place
  // then, with no archive open for writing: AddFileToArchive and CloseArchive do nothing).
  void OpenArchive(const std::string& archive_path, const std::string& base_dir);

  // Adds `path` as one deflated entry. Does nothing without an open archive. Raises EGZipError
  // (codes above) or EInOutError (the local header cannot be written). After a failure the
  // archive stays open with the entries added before, cut back to where the failed entry began.
  void AddFileToArchive(const std::string& path);

  // Appends the central directory and end record and moves the archive onto its path. Does
  // nothing without an open archive. Raises EInOutError on a failure: when writing the
  // directory failed, the archive stays open, cut back to its entries, so that the close can
  // be tried again; when the move failed (or the temporary was removed or replaced meanwhile:
  // number 2), the archive is discarded.
  void CloseArchive();

  // Gives up on the open archive: its temporary is removed and the entry standing at its path
  // (an archive of an earlier run, or a link: the entry itself, never what a link points to)
  // is removed too, so that a file that could not be archived leaves no archive behind; never
  // a folder, FIFO, socket or device node (RemoveFailedOutput). After a close whose move was
  // refused the path is not touched: what stands there is not this builder's. The builder
  // then has no archive open. Never throws.
  void DiscardArchive() noexcept;

  // The open archive's path; empty when none is open (or after a failed OpenArchive, the path
  // it was given).
  const std::string& ArchiveName() const { return archive_name_; }
  const std::string& ArchiveBaseDir() const { return archive_base_dir_; }
  // Where the open archive is being written until CloseArchive moves it onto its path; empty
  // when none is open.
  std::string TemporaryPath() const;
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
  // When set, a file of at least BlockDeflateFrom bytes is deflated in blocks by the threads of
  // this queue (zip/block_deflate.h): other deflate data than the entry stream's own, as valid.
  // Null: every file through the entry stream's deflate, the same bytes on every run.
  WorkQueue* BlockWorkers = nullptr;
  uint64_t BlockDeflateFrom = kBlockDeflateThreshold;

 private:
  PathSyntax Syntax() const;
  // Copies the source into the stream, checks that it stood still and finishes the entry;
  // raises EGZipError 4, 5 or 3. Returns the source's status after the copy.
  FileStatus CopyEntry(File& source, const FileStatus& opened, const std::string& path);
  // The two ways of feeding the stream; both return the number of bytes read.
  uint64_t DeflateHere(File& source, uint64_t size, const std::string& path);
  uint64_t DeflateInBlocks(File& source, uint64_t size, const std::string& path);
  std::string EntryNameFor(const std::string& path, const PathSyntax& syntax,
                           uint16_t& flags) const;

  // The folder of the open archive: the run's (folder_) or one opened for it (own_folder_).
  const OutputFolder& ArchiveFolder() const;

  PathSyntax syntax_;
  bool syntax_given_ = false;
  const OutputFolder* folder_ = nullptr;
  std::unique_ptr<OutputFolder> own_folder_;
  std::string archive_name_;
  std::string archive_base_dir_;
  std::vector<std::pair<std::string, TPkHeader>> archive_entries_;
  // Kept from archive to archive: the output's handle, the entry stream with its deflate state
  // and the read buffer, so that a file costs no set-up of its own.
  std::unique_ptr<OutputFile> output_;
  uint64_t output_end_ = 0;  // the archive's size so far
  std::unique_ptr<EntryStream> stream_;
  std::unique_ptr<unsigned char[]> read_buffer_;
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
