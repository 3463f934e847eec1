#include "zip/zip_builder.h"

#include <sys/stat.h>

#include <memory>
#include <optional>

#include "platform/code_page.h"
#include "platform/dos_time.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "zip/central_directory.h"
#include "zip/entry_stream.h"
#include "zip/zip_format.h"

namespace kel {

namespace {

enum CopyResult { kCopyDone = 0, kCopyReadFailed = 1, kCopyWriteFailed = 2 };

// Streams `source` into `stream` in blocks of kEntryBufferSize bytes, then closes the source
// (a failure of that close raises EInOutError). `on_progress` runs after each block; its
// exceptions pass through.
CopyResult CopyFileToEntry(File& source, EntryStream* stream,
                           const std::function<void(uint64_t)>& on_progress) {
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kEntryBufferSize]);
  for (;;) {
    int error_number = 0;
    const int64_t read = source.TryRead(buffer.get(), kEntryBufferSize, error_number);
    if (read < 0) {
      source.TryClose();
      return kCopyReadFailed;
    }
    if (read == 0) {
      source.Close();
      return kCopyDone;
    }
    int64_t written = -1;
    try {
      written = EntryWrite(stream, buffer.get(), static_cast<uint32_t>(read));
    } catch (...) {
    }
    if (written != read) {
      source.TryClose();
      return kCopyWriteFailed;
    }
    if (on_progress) on_progress(static_cast<uint64_t>(read));
  }
}

std::string ModeString(int32_t level, uint8_t strategy) {
  std::string mode;
  if (strategy == 1) mode = "f";
  if (strategy == 2) mode = "h";
  return mode + std::to_string(level).substr(0, 1);
}

// Attribute flags and mode of `path` as they are now; a file that vanished since it was read
// counts as an ordinary file rather than storing the query's failure value as flags.
void TakeAttributes(const std::string& path, TPkHeader& header) {
  if (const auto status = QueryFileStatus(path)) {
    header.Attributes = status->attributes;
    header.UnixMode = status->unix_mode;
  } else {
    header.Attributes = kAttrArchive;
    header.UnixMode = S_IFREG | 0644;
  }
}

}  // namespace

TZipBuilder::TZipBuilder(PathSyntax syntax) : syntax_(syntax), syntax_given_(true) {}

TZipBuilder::TZipBuilder() = default;

PathSyntax TZipBuilder::Syntax() const {
  // The native syntax is looked up at use, after the program has set its locale.
  return syntax_given_ ? syntax_ : PathSyntax::Native();
}

void TZipBuilder::OpenArchive(const std::string& archive_path, const std::string& base_dir) {
  archive_entries_.clear();
  archive_name_ = archive_path;
  archive_base_dir_ = base_dir;
  File::Open(archive_path, OpenMode::kCreate).Close();
}

std::string TZipBuilder::EntryNameFor(const std::string& path, const PathSyntax& syntax) const {
  std::string name = syntax.ExtractRelativePath(archive_base_dir_, path);
  if (Encoding == NameEncoding::kCp932) {
    std::optional<std::string> converted = Utf8ToCp932(name);
    if (!converted) throw EGZipError("Invalid entry name " + path, 6);
    name = std::move(*converted);
  }
  if (name.size() > zip_format::kMaxNameLength) throw EGZipError("Invalid entry name " + path, 6);
  return name;
}

void TZipBuilder::FinishEntry(File& source, EntryStream* stream, const std::string& path) {
  switch (CopyFileToEntry(source, stream, OnProgress)) {
    case kCopyReadFailed:
      throw EGZipError("Error reading from " + path, 4);
    case kCopyWriteFailed:
      throw EGZipError("Error writing to " + archive_name_, 5);
    case kCopyDone:
      break;
  }
  if (EntryClose(stream) != 0) throw EGZipError("Error closing " + archive_name_, 3);
}

void TZipBuilder::AddFileToArchive(const std::string& path) {
  if (archive_name_.empty()) return;
  int error_number = 0;
  File source = File::TryOpen(path, OpenMode::kRead, error_number);
  if (!source.IsOpen()) throw EGZipError("Error opening " + path, 2);
  const PathSyntax syntax = Syntax();
  const std::string name = EntryNameFor(path, syntax);
  EntryOptions options;
  // Readers garble names with high bytes unless told they are UTF-8.
  if (Encoding == NameEncoding::kFileSystem && syntax.code_page == CodePage::kUtf8 &&
      HasHighBytes(name)) {
    options.flags |= kFlagUtf8Name;
  }
  options.expected_size = static_cast<uint64_t>(source.Size());
  const uint32_t file_time = UnixTimeToLocalDosClamped(source.ModificationTime());

  std::unique_ptr<EntryStream> stream = EntryOpen(
      archive_name_, ModeString(CompressionLevel, CompressionStrategy), name, file_time, options);
  if (!stream) {
    source.TryClose();
    throw EGZipError("Error opening " + archive_name_, 2);
  }
  try {
    FinishEntry(source, stream.get(), path);
  } catch (...) {
    // The entry will not be listed: leave none of its bytes behind.
    EntryDiscard(stream.get());
    throw;
  }

  TPkHeader header;
  header.FileTime = stream->FileTime;
  header.HeaderOffset = stream->HeaderOffset;
  header.Crc = stream->Crc;
  header.CompressedSize = stream->CompressedSize;
  header.UncompressedSize = stream->UncompressedSize;
  header.Flags = stream->Flags;
  header.Zip64Local = stream->Zip64Reserved;
  TakeAttributes(path, header);
  archive_entries_.emplace_back(name, header);
}

void TZipBuilder::CloseArchive() {
  if (archive_name_.empty()) return;
  File archive = File::Open(archive_name_, OpenMode::kReadWrite);
  const uint64_t start = static_cast<uint64_t>(archive.Size());
  archive.Seek(static_cast<int64_t>(start));
  try {
    WriteCentralDirectory(archive, start, archive_entries_);
  } catch (const EInOutError&) {
    // A partial directory would end up inside the archive when the close is tried again.
    archive.TryTruncate(start);
    throw;
  }
  archive.Close();
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
