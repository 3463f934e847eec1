#include "zip/entry_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/exceptions.h"
#include "zip/crc32_fast.h"
#include "zip/zip_format.h"

namespace kel {

using namespace zip_format;

EntryStream::EntryStream() { std::memset(&ZStream, 0, sizeof ZStream); }

EntryStream::~EntryStream() {
  if (DeflateReady) deflateEnd(&ZStream);
}

namespace {

struct DeflateSettings {
  int level = Z_DEFAULT_COMPRESSION;
  int strategy = Z_DEFAULT_STRATEGY;
};

DeflateSettings ParseMode(const std::string& mode) {
  DeflateSettings s;
  for (char c : mode) {
    if (c >= '0' && c <= '9') {
      s.level = c - '0';
    } else if (c == 'f') {
      s.strategy = Z_FILTERED;
    } else if (c == 'h') {
      s.strategy = Z_HUFFMAN_ONLY;
    }
  }
  return s;
}

// Deflate's worst case for `size` input bytes under this stream's settings could not be told
// apart from the Zip64 marker in a 32-bit field.
bool MayOutgrowPlainFields(EntryStream& s, uint64_t size) {
  return size > kMaxPlainField || deflateBound(&s.ZStream, size) > kMaxPlainField;
}

std::string LocalHeader(const EntryStream& s, const std::string& name) {
  const uint32_t size_field = s.Zip64Reserved ? kSizeOverflow : 0;
  std::string h;
  h.reserve(kLocalHeaderSize + kZip64LocalExtraSize + name.size());
  Put32(h, kLocalHeaderSignature);
  // An entry behind 4 GiB has its offset in a Zip64 field of the central record.
  const bool zip64 = s.Zip64Reserved || s.HeaderOffset > kMaxPlainField;
  Put16(h, zip64 ? kVersionZip64 : kVersionDeflate);  // version needed
  Put16(h, s.Flags);
  Put16(h, kMethodDeflated);
  Put32(h, s.FileTime);  // time, then date
  Put32(h, 0);           // CRC, patched at close
  Put32(h, size_field);  // compressed size
  Put32(h, size_field);  // uncompressed size
  Put16(h, static_cast<uint16_t>(name.size()));
  Put16(h, s.Zip64Reserved ? kZip64LocalExtraSize : 0);  // extra field length
  h += name;
  if (s.Zip64Reserved) {
    Put16(h, kZip64ExtraId);
    Put16(h, 16);
    Put64(h, 0);  // uncompressed size, patched at close
    Put64(h, 0);  // compressed size, patched at close
  }
  return h;
}

// Writes the full or partial output buffer to the archive and resets it. False (LastError -1)
// when not every byte was written.
bool FlushOutput(EntryStream& s, std::size_t count) {
  int error_number = 0;
  if (s.Archive->TryWrite(s.OutBuffer.get(), count, error_number) != static_cast<int64_t>(count)) {
    s.WriteErrorNumber = error_number;
    s.LastError = -1;
    return false;
  }
  s.WrittenEnd += count;
  s.HeaderInBuffer = false;
  s.ZStream.next_out = s.OutBuffer.get();
  s.ZStream.avail_out = kEntryBufferSize;
  return true;
}

// Puts CRC and sizes into the held-back local header, now that deflate has finished.
void PatchHeaderInBuffer(EntryStream& s) {
  unsigned char* header = s.OutBuffer.get();
  const uint64_t uncompressed = s.Predeflated ? s.PredeflatedIn : s.ZStream.total_in;
  const uint64_t compressed = s.Predeflated ? s.PredeflatedOut : s.ZStream.total_out;
  std::string fields;
  Put32(fields, s.Crc);
  if (s.Zip64Reserved) {
    std::memcpy(header + 14, fields.data(), 4);
    std::string sizes;
    Put64(sizes, uncompressed);
    Put64(sizes, compressed);
    std::memcpy(header + (s.DataStart - s.HeaderOffset) - 16, sizes.data(), 16);
  } else {
    Put32(fields, static_cast<uint32_t>(compressed));
    Put32(fields, static_cast<uint32_t>(uncompressed));
    std::memcpy(header + 14, fields.data(), 12);
  }
  s.HeaderPatched = true;
}

// Opens the archive and positions it at its end; false when any step fails.
bool OpenArchiveAtEnd(EntryStream& s, const std::string& archive_path) {
  int error_number = 0;
  s.ArchiveFile = File::TryOpen(archive_path, OpenMode::kReadWrite, error_number);
  if (!s.ArchiveFile.IsOpen()) return false;
  s.Archive = &s.ArchiveFile;
  try {
    s.HeaderOffset = static_cast<uint64_t>(s.ArchiveFile.Size());
    s.ArchiveFile.Seek(static_cast<int64_t>(s.HeaderOffset));
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

// Writes `bytes` at `offset`; false when the position cannot be written. Raises EInOutError
// when the position cannot be reached.
bool PatchAt(EntryStream& s, uint64_t offset, const std::string& bytes) {
  s.Archive->Seek(static_cast<int64_t>(offset));
  int error_number = 0;
  if (s.Archive->TryWrite(bytes.data(), bytes.size(), error_number) ==
      static_cast<int64_t>(bytes.size()))
    return true;
  s.WriteErrorNumber = error_number;
  return false;
}

// Patches CRC and sizes into the local header (and its Zip64 extra field when reserved). The
// twelve bytes at +14 go out in one write: any failure of it is the patch's failure.
bool PatchHeader(EntryStream& s) {
  std::string fields;
  Put32(fields, s.Crc);
  if (!s.Zip64Reserved) {
    Put32(fields, static_cast<uint32_t>(s.CompressedSize));
    Put32(fields, static_cast<uint32_t>(s.UncompressedSize));
    return PatchAt(s, s.HeaderOffset + 14, fields);
  }
  if (!PatchAt(s, s.HeaderOffset + 14, fields)) return false;
  std::string sizes;
  Put64(sizes, s.UncompressedSize);
  Put64(sizes, s.CompressedSize);
  return PatchAt(s, s.DataStart - 16, sizes);
}

}  // namespace

std::unique_ptr<EntryStream> EntryOpen(const std::string& archive_path, const std::string& mode,
                                       const std::string& name, uint32_t file_time,
                                       const EntryOptions& options) {
  if (archive_path.empty() || mode.empty()) return nullptr;
  if (name.size() > kMaxNameLength) throw EInOutError(3);
  auto s = std::make_unique<EntryStream>();
  s->Crc = crc32(0, nullptr, 0);
  s->FileTime = file_time;
  s->ArchivePath = archive_path;
  s->Flags = options.flags;
  const DeflateSettings settings = ParseMode(mode);
  s->DeflateReady =
      deflateInit2(&s->ZStream, settings.level, Z_DEFLATED, -15, 8, settings.strategy) == Z_OK;
  s->DeflateLevel = settings.level;
  s->DeflateStrategy = settings.strategy;
  s->OutBuffer.reset(new (std::nothrow) unsigned char[kEntryBufferSize]);
  if (!s->DeflateReady || !s->OutBuffer || !OpenArchiveAtEnd(*s, archive_path)) {
    EntryRelease(s.get());
    return nullptr;
  }
  s->ZStream.next_out = s->OutBuffer.get();
  s->ZStream.avail_out = kEntryBufferSize;
  s->Zip64Reserved = MayOutgrowPlainFields(*s, options.expected_size);
  const std::string header = LocalHeader(*s, name);
  try {
    s->ArchiveFile.Write(header);
  } catch (const EInOutError&) {
    s->ArchiveFile.TryTruncate(s->HeaderOffset);
    throw;
  }
  s->DataStart = s->HeaderOffset + header.size();
  s->WrittenEnd = s->DataStart;
  return s;
}

int32_t EntryBegin(EntryStream& s, File& archive, uint64_t offset, const std::string& mode,
                   const std::string& name, uint32_t file_time, const EntryOptions& options) {
  if (name.size() > kMaxNameLength) throw EInOutError(3);
  const DeflateSettings settings = ParseMode(mode);
  if (s.DeflateReady &&
      (settings.level != s.DeflateLevel || settings.strategy != s.DeflateStrategy)) {
    deflateEnd(&s.ZStream);
    s.DeflateReady = false;
  }
  if (s.DeflateReady) {
    // Resetting gives the very state a fresh deflateInit2 would, without its allocations.
    if (deflateReset(&s.ZStream) != Z_OK) return -2;
  } else {
    std::memset(&s.ZStream, 0, sizeof s.ZStream);
    if (deflateInit2(&s.ZStream, settings.level, Z_DEFLATED, -15, 8, settings.strategy) != Z_OK)
      return -2;
    s.DeflateReady = true;
    s.DeflateLevel = settings.level;
    s.DeflateStrategy = settings.strategy;
  }
  if (!s.OutBuffer) s.OutBuffer.reset(new (std::nothrow) unsigned char[kEntryBufferSize]);
  if (!s.OutBuffer) return -2;
  s.Archive = &archive;
  s.Borrowed = true;
  s.LastError = 0;
  s.Crc = crc32(0, nullptr, 0);
  s.UncompressedSize = 0;
  s.CompressedSize = 0;
  s.FileTime = file_time;
  s.Flags = options.flags;
  s.HeaderOffset = offset;
  s.HeaderPatched = false;
  s.WriteErrorNumber = 0;
  s.Predeflated = false;
  s.PredeflatedIn = 0;
  s.PredeflatedOut = 0;
  s.Zip64Reserved = MayOutgrowPlainFields(s, options.expected_size);
  const std::string header = LocalHeader(s, name);
  s.DataStart = offset + header.size();
  s.ZStream.next_out = s.OutBuffer.get();
  s.ZStream.avail_out = kEntryBufferSize;
  // Held back while it leaves deflate a useful part of the buffer; a very long name goes out
  // at once.
  if (header.size() <= kEntryBufferSize / 2) {
    std::memcpy(s.OutBuffer.get(), header.data(), header.size());
    s.ZStream.next_out += header.size();
    s.ZStream.avail_out -= static_cast<uInt>(header.size());
    s.HeaderInBuffer = true;
    s.WrittenEnd = offset;
    return 0;
  }
  s.HeaderInBuffer = false;
  try {
    archive.Write(header);
  } catch (const EInOutError&) {
    archive.TryTruncate(offset);
    archive.Seek(static_cast<int64_t>(offset));
    throw;
  }
  s.WrittenEnd = s.DataStart;
  return 0;
}

int64_t EntryWrite(EntryStream* stream, const void* buffer, uint32_t length) {
  if (stream == nullptr) return -2;
  EntryStream& s = *stream;
  s.ZStream.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  s.ZStream.avail_in = length;
  if (!s.Zip64Reserved && MayOutgrowPlainFields(s, s.ZStream.total_in + length)) {
    // The sizes would need the Zip64 field this header lacks: refuse rather than overflow.
    s.LastError = -1;
  } else {
    while (s.ZStream.avail_in != 0) {
      if (s.ZStream.avail_out == 0 && !FlushOutput(s, kEntryBufferSize)) break;
      s.LastError = deflate(&s.ZStream, Z_NO_FLUSH);
      if (s.LastError != Z_OK) break;
    }
  }
  // zlib's crc32 gives 0 for a null buffer: an empty block must leave the CRC alone.
  if (length != 0) s.Crc = Crc32Update(s.Crc, buffer, length);
  return static_cast<int64_t>(length) - s.ZStream.avail_in;
}

int32_t EntryWriteDeflated(EntryStream* stream, const void* data, std::size_t length,
                           uint64_t input_length, uint32_t crc) {
  if (stream == nullptr) return -2;
  EntryStream& s = *stream;
  s.Predeflated = true;
  if (!s.Zip64Reserved && (s.PredeflatedIn + input_length > kMaxPlainField ||
                           s.PredeflatedOut + length > kMaxPlainField)) {
    s.LastError = -1;
    return -1;
  }
  // Through the output buffer as deflate's own output goes: full buffers only, so that the
  // held-back header and the finish work as for any entry.
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t left = length;
  while (left > 0) {
    if (s.ZStream.avail_out == 0 && !FlushOutput(s, kEntryBufferSize)) return -1;
    const std::size_t part = std::min<std::size_t>(left, s.ZStream.avail_out);
    std::memcpy(s.ZStream.next_out, bytes, part);
    s.ZStream.next_out += part;
    s.ZStream.avail_out -= static_cast<uInt>(part);
    bytes += part;
    left -= part;
  }
  s.PredeflatedIn += input_length;
  s.PredeflatedOut += length;
  if (input_length != 0) s.Crc = crc32_combine(s.Crc, crc, static_cast<z_off_t>(input_length));
  return 0;
}

namespace {

// What EntryFinish does for an entry whose data came deflated: the rest of the buffer out.
int32_t FinishPredeflated(EntryStream& s) {
  if (s.LastError < 0) return s.LastError;
  if (s.HeaderInBuffer) PatchHeaderInBuffer(s);
  const std::size_t pending = kEntryBufferSize - s.ZStream.avail_out;
  if (pending > 0 && !FlushOutput(s, pending)) return -1;
  return 0;
}

}  // namespace

int32_t EntryFinish(EntryStream* stream, int flush) {
  if (stream == nullptr) return -2;
  EntryStream& s = *stream;
  s.ZStream.avail_in = 0;
  // Only full buffers go out while deflate works, the rest at the end: a small entry then
  // reaches the archive in one write, with its held-back header patched in place.
  for (;;) {
    if (s.ZStream.avail_out == 0 && !FlushOutput(s, kEntryBufferSize)) return -1;
    s.LastError = deflate(&s.ZStream, flush);
    // No progress possible: a second flush in a row with nothing to do, which is no error.
    if (s.LastError == Z_BUF_ERROR) s.LastError = Z_OK;
    if (s.LastError != Z_OK && s.LastError != Z_STREAM_END) return s.LastError;
    // deflate has finished only when it left some of its output space free.
    if (s.ZStream.avail_out != 0 || s.LastError == Z_STREAM_END) break;
  }
  if (s.HeaderInBuffer && s.LastError == Z_STREAM_END) PatchHeaderInBuffer(s);
  const std::size_t pending = kEntryBufferSize - s.ZStream.avail_out;
  if (pending > 0 && !FlushOutput(s, pending)) return -1;
  return s.LastError == Z_STREAM_END ? Z_OK : s.LastError;
}

int32_t EntryRelease(EntryStream* stream) {
  if (stream == nullptr) return -2;
  EntryStream& s = *stream;
  int32_t result = 0;
  // A borrowed archive and the deflate state stay for the caller's next entry.
  if (s.DeflateReady && !s.Borrowed) {
    result = deflateEnd(&s.ZStream);
    s.DeflateReady = false;
  }
  if (s.ArchiveFile.IsOpen() && s.ArchiveFile.TryClose() != 0) result = -1;
  if (s.LastError < 0) result = s.LastError;
  if (!s.Borrowed) s.OutBuffer.reset();
  return result;
}

int32_t EntryClose(EntryStream* stream) {
  if (stream == nullptr) return -2;
  EntryStream& s = *stream;
  if ((s.Predeflated ? FinishPredeflated(s) : EntryFinish(&s, Z_FINISH)) != 0)
    return EntryRelease(&s);
  s.UncompressedSize = s.Predeflated ? s.PredeflatedIn : s.ZStream.total_in;
  s.CompressedSize = s.WrittenEnd - s.DataStart;
  if (!s.Zip64Reserved &&
      (s.UncompressedSize > kMaxPlainField || s.CompressedSize > kMaxPlainField)) {
    // Cannot happen while EntryWrite keeps within deflate's bound; never write a wrong field.
    s.LastError = -1;
    return EntryRelease(&s);
  }
  if (!s.HeaderPatched) {
    if (!PatchHeader(s)) return -2;
    if (s.Borrowed) s.Archive->Seek(static_cast<int64_t>(s.WrittenEnd));
  }
  return EntryRelease(&s);
}

int32_t EntryDiscard(EntryStream* stream) {
  if (stream == nullptr) return -2;
  EntryStream& s = *stream;
  EntryRelease(&s);
  s.HeaderInBuffer = false;
  if (s.Borrowed) {
    if (!s.Archive->TryTruncate(s.HeaderOffset)) return -1;
    try {
      s.Archive->Seek(static_cast<int64_t>(s.HeaderOffset));
    } catch (const EInOutError&) {
      return -1;
    }
    return 0;
  }
  int error_number = 0;
  File archive = File::TryOpen(s.ArchivePath, OpenMode::kReadWrite, error_number);
  if (!archive.IsOpen() || !archive.TryTruncate(s.HeaderOffset)) return -1;
  return archive.TryClose() == 0 ? 0 : -1;
}

}  // namespace kel
