#include "zip/zip_builder.h"

#include <zlib.h>

#include <optional>

#include "platform/code_page.h"
#include "platform/dos_time.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/output_file.h"
#include "platform/output_folder.h"
#include "zip/central_directory.h"
#include "zip/entry_stream.h"
#include "zip/zip_format.h"

namespace kel {

namespace {

std::string ModeString(int32_t level, uint8_t strategy) {
  std::string mode;
  if (strategy == 1) mode = "f";
  if (strategy == 2) mode = "h";
  return mode + std::to_string(level).substr(0, 1);
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The file read is the file that was opened, unchanged: a writer that cut, grew or rewrote it
// meanwhile moves its size or one of its times.
bool StoodStill(const FileStatus& before, const FileStatus& after, uint64_t bytes_read) {
  return bytes_read == before.size && after.size == before.size &&
         SameTime(after.last_write_time, before.last_write_time) &&
         SameTime(after.change_time, before.change_time);
}

// The system's reason for a failed write of the stream, when it gave one, and the archive.
Reason WriteFailure(const EntryStream& stream, const std::string& archive) {
  if (stream.WriteErrorNumber == 0) return {Reason::kNone, 0, archive};
  return Reason::FromErrorNumber(stream.WriteErrorNumber, archive);
}

// The file layer's failure for `path`.
EInOutError FailureAt(int error_number, const std::string& path) {
  EInOutError error(error_number);
  error.SetReasonPath(path);
  return error;
}

}  // namespace

TZipBuilder::TZipBuilder(PathSyntax syntax) : syntax_(syntax), syntax_given_(true) {}

TZipBuilder::TZipBuilder() = default;

TZipBuilder::~TZipBuilder() = default;

PathSyntax TZipBuilder::Syntax() const {
  // The native syntax is looked up at use, after the program has set its locale.
  return syntax_given_ ? syntax_ : PathSyntax::Native();
}

const OutputFolder& TZipBuilder::ArchiveFolder() const {
  return folder_ != nullptr ? *folder_ : *own_folder_;
}

void TZipBuilder::OpenArchive(const std::string& archive_path, const std::string& base_dir) {
  if (output_) output_->Discard();
  archive_entries_.clear();
  archive_name_ = archive_path;
  archive_base_dir_ = base_dir;
  output_end_ = 0;
  int error_number = 0;
  const PathSyntax syntax = PathSyntax::Native();
  if (folder_ == nullptr) {
    std::string folder_path = syntax.ExtractFilePath(archive_path);
    if (folder_path.empty()) folder_path = std::string(".") + syntax.Separator();
    if (!own_folder_ || own_folder_->Path() != syntax.IncludeTrailingSeparator(folder_path)) {
      own_folder_ =
          std::make_unique<OutputFolder>(OutputFolder::TryOpen(folder_path, error_number));
    }
    if (!own_folder_->IsOpen()) {
      own_folder_.reset();
      output_.reset();
      throw EInOutError(error_number);
    }
  }
  OutputFile output =
      OutputFile::TryCreate(ArchiveFolder(), syntax.ExtractFileName(archive_path), error_number);
  if (!output.IsOpen()) {
    output_.reset();
    throw FailureAt(error_number, archive_path);
  }
  if (output_) {
    *output_ = std::move(output);
  } else {
    output_ = std::make_unique<OutputFile>(std::move(output));
  }
}

std::string TZipBuilder::EntryNameFor(const std::string& path, const PathSyntax& syntax,
                                      uint16_t& flags) const {
  std::string name = syntax.ExtractRelativePath(archive_base_dir_, path);
  if (Encoding == NameEncoding::kCp932) {
    if (IsValidUtf8(name)) {
      std::optional<std::string> converted = Utf8NameToCp932(name);
      if (!converted) throw EGZipError("Invalid entry name " + path, 6);
      name = std::move(*converted);
    } else if (!Cp932ToUtf8(name)) {
      // Neither UTF-8 nor CP932: no reader could show it as the recipient expects.
      throw EGZipError("Invalid entry name " + path, 6);
    }
  } else if (syntax.code_page == CodePage::kUtf8 && HasHighBytes(name) && IsValidUtf8(name)) {
    // Readers garble names with high bytes unless told they are UTF-8; bytes that are not
    // UTF-8 must not be marked as such (readers refuse the entry), so they go in as they are.
    flags |= kFlagUtf8Name;
  }
  if (name.size() > zip_format::kMaxNameLength) throw EGZipError("Invalid entry name " + path, 6);
  return name;
}

uint64_t TZipBuilder::DeflateHere(File& source, uint64_t size, const std::string& path) {
  if (!read_buffer_) read_buffer_.reset(new unsigned char[kEntryBufferSize]);
  EntryStream* stream = stream_.get();
  uint64_t bytes_read = 0;
  // Reading stops at the size the file had when opened: a file that grew meanwhile shows a
  // new size in the status below, so no read at the end is needed to learn of it.
  while (bytes_read < size || size == 0) {
    int error_number = 0;
    const int64_t read = source.TryRead(read_buffer_.get(), kEntryBufferSize, error_number);
    if (read < 0)
      throw EGZipError("Error reading from " + path, 4,
                       Reason::FromErrorNumber(error_number, path));
    if (read == 0) break;
    bytes_read += static_cast<uint64_t>(read);
    int64_t written = -1;
    try {
      written = EntryWrite(stream, read_buffer_.get(), static_cast<uint32_t>(read));
    } catch (...) {
    }
    if (written != read) {
      throw EGZipError("Error writing to " + archive_name_, 5, WriteFailure(*stream, archive_name_));
    }
    if (OnProgress) OnProgress(static_cast<uint64_t>(read));
  }
  return bytes_read;
}

uint64_t TZipBuilder::DeflateInBlocks(File& source, uint64_t size, const std::string& path) {
  EntryStream* stream = stream_.get();
  BlockDeflateIo io;
  io.read = [&source, &path](unsigned char* buffer, std::size_t count) {
    int error_number = 0;
    const int64_t read = source.TryRead(buffer, count, error_number);
    if (read < 0)
      throw EGZipError("Error reading from " + path, 4, Reason::FromErrorNumber(error_number));
    return static_cast<std::size_t>(read);
  };
  io.append = [this, stream](const unsigned char* data, std::size_t length,
                             std::size_t input_length, uint32_t crc) {
    if (EntryWriteDeflated(stream, data, length, input_length, crc) != 0)
      throw EGZipError("Error writing to " + archive_name_, 5, WriteFailure(*stream, archive_name_));
    if (OnProgress) OnProgress(input_length);
  };
  const int level =
      CompressionLevel >= 0 && CompressionLevel <= 9 ? CompressionLevel : Z_DEFAULT_COMPRESSION;
  const int strategy = CompressionStrategy == 1   ? Z_FILTERED
                       : CompressionStrategy == 2 ? Z_HUFFMAN_ONLY
                                                  : Z_DEFAULT_STRATEGY;
  return kel::DeflateInBlocks(size, level, strategy, *BlockWorkers, io);
}

FileStatus TZipBuilder::CopyEntry(File& source, const FileStatus& opened, const std::string& path) {
  EntryStream* stream = stream_.get();
  const bool in_blocks =
      BlockWorkers != nullptr && opened.size > 0 && opened.size >= BlockDeflateFrom;
  const uint64_t bytes_read = in_blocks ? DeflateInBlocks(source, opened.size, path)
                                        : DeflateHere(source, opened.size, path);
  int error_number = 0;
  const std::optional<FileStatus> after = source.Status(path, error_number);
  if (!after)
    throw EGZipError("Error reading from " + path, 4, Reason::FromErrorNumber(error_number, path));
  if (!StoodStill(opened, *after, bytes_read))
    throw EGZipError("Error reading from " + path, 4, {Reason::kChangedWhileRead, 0, path});
  if (EntryClose(stream) != 0) {
    throw EGZipError("Error closing " + archive_name_, 3, WriteFailure(*stream, archive_name_));
  }
  return *after;
}

void TZipBuilder::AddFileToArchive(const std::string& path) {
  if (archive_name_.empty() || !output_ || !output_->IsOpen()) return;
  int error_number = 0;
  // One status, through the handle that is read: the file read is the file described.
  std::optional<FileStatus> opened;
  File source = File::TryOpen(path, OpenMode::kRead, path, opened, error_number);
  if (!source.IsOpen() || !opened) {
    // A folder put in the file's place is refused by the open as "access denied", which would
    // send the user to the permissions.
    const std::optional<FileStatus> now = QueryFileStatus(path);
    if (now && !now->is_regular)
      throw EGZipError("Error opening " + path, 2, {Reason::kNotRegularFile, 0, path});
    throw EGZipError("Error opening " + path, 2, Reason::FromErrorNumber(error_number, path));
  }
  const PathSyntax syntax = Syntax();
  // A FIFO, folder or device put in the file's place is never read as an empty or endless file.
  if (!opened->is_regular)
    throw EGZipError("Error opening " + path, 2, {Reason::kNotRegularFile, 0, path});
  EntryOptions options;
  const std::string name = EntryNameFor(path, syntax, options.flags);
  options.expected_size = opened->size;
  const uint32_t file_time = UnixTimeToLocalDosClamped(opened->last_write_time);

  if (!stream_) stream_ = std::make_unique<EntryStream>();
  File& archive = output_->Handle();
  if (EntryBegin(*stream_, archive, output_end_, ModeString(CompressionLevel, CompressionStrategy),
                 name, file_time, options) != 0) {
    throw EGZipError("Error opening " + archive_name_, 2, {Reason::kNone, 0, archive_name_});
  }
  FileStatus after;
  try {
    after = CopyEntry(source, *opened, path);
  } catch (...) {
    // The entry will not be listed: leave none of its bytes behind.
    EntryDiscard(stream_.get());
    throw;
  }
  source.TryClose();

  TPkHeader header;
  header.FileTime = stream_->FileTime;
  header.HeaderOffset = stream_->HeaderOffset;
  header.Crc = stream_->Crc;
  header.CompressedSize = stream_->CompressedSize;
  header.UncompressedSize = stream_->UncompressedSize;
  header.Flags = stream_->Flags;
  header.Zip64Local = stream_->Zip64Reserved;
  header.Attributes = after.attributes;
  header.UnixMode = after.unix_mode;
  output_end_ = stream_->WrittenEnd;
  archive_entries_.emplace_back(name, header);
}

void TZipBuilder::CloseArchive() {
  if (archive_name_.empty() || !output_ || !output_->IsOpen()) return;
  File& archive = output_->Handle();
  try {
    WriteCentralDirectory(archive, output_end_, archive_entries_);
  } catch (EInOutError& e) {
    // A partial directory would end up inside the archive when the close is tried again.
    archive.TryTruncate(output_end_);
    archive.Seek(static_cast<int64_t>(output_end_));
    e.SetReasonPath(archive_name_);
    throw;
  }
  const int error_number = output_->TryCommit();
  archive_entries_.clear();
  const std::string archive_path = std::move(archive_name_);
  archive_name_.clear();
  if (error_number != 0) throw FailureAt(error_number, archive_path);
}

std::string TZipBuilder::TemporaryPath() const {
  return output_ && output_->IsOpen() ? output_->TemporaryPath() : std::string();
}

void TZipBuilder::DiscardArchive() noexcept {
  if (output_) output_->Discard();
  if (!archive_name_.empty() && (folder_ != nullptr || own_folder_)) {
    try {
      RemoveFailedOutput(ArchiveFolder(), PathSyntax::Native().ExtractFileName(archive_name_));
    } catch (...) {
    }
  }
  archive_entries_.clear();
  archive_name_.clear();
}

TZipBuilder& DefaultZipBuilder() {
  static TZipBuilder builder;
  return builder;
}

void OpenArchive(const std::string& archive_path, const std::string& base_dir) {
  DefaultZipBuilder().OpenArchive(archive_path, base_dir);
}

void AddFileToArchive(const std::string& path) { DefaultZipBuilder().AddFileToArchive(path); }

void CloseArchive() { DefaultZipBuilder().CloseArchive(); }

int32_t& CompressionLevel = DefaultZipBuilder().CompressionLevel;
uint8_t& CompressionStrategy = DefaultZipBuilder().CompressionStrategy;

}  // namespace kel
