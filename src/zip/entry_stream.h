// One deflated Zip entry written into an archive file as a stream (the module gzioext).
//
// EntryOpen appends a local file header and the entry's name to the end of an existing archive;
// every block handed to EntryWrite is deflated (raw deflate, 32 KiB window) straight behind it
// while the stream keeps the CRC-32 of the uncompressed bytes; EntryClose finishes the deflate
// data and patches the CRC and both sizes into the header written at the start. The central
// directory is the zip builder's business.
//
// Status codes follow zlib: 0 ok, -1 a write to or the closing of the archive failed, -2 no
// stream (or a failed header patch), other negative values are deflate's own.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"

namespace kel {

// Output buffer size: compressed data reaches the archive only in writes of this many bytes,
// except at the finish.
constexpr std::size_t kEntryBufferSize = 16384;

// Local header layout facts the builder shares.
constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint16_t kFlagMaximumCompression = 0x0002;  // bit 1; what readers show as "maximum"
constexpr uint16_t kFlagUtf8Name = 0x0800;            // bit 11: the name is UTF-8
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kZip64LocalExtraSize = 20;  // id, length, two 64-bit sizes
// A 32-bit size or offset field holds at most this; 0xFFFFFFFF means "see the Zip64 extra".
constexpr uint64_t kMaxPlainField = 0xFFFFFFFEu;

// What EntryOpen needs beyond the classic arguments. The defaults give the classic header.
struct EntryOptions {
  // General-purpose flags of the local header: kFlagMaximumCompression, plus kFlagUtf8Name for
  // a UTF-8 name with bytes of 0x80 or more.
  uint16_t flags = kFlagMaximumCompression;
  // The source's size as known before the copy. When deflate's worst case for it could reach
  // 0xFFFFFFFF, a Zip64 extra field is reserved in the local header (version needed 45, both
  // 32-bit sizes 0xFFFFFFFF) and patched at the close.
  uint64_t expected_size = 0;
};

// The state of one entry being written. Owned by the caller through the unique_ptr EntryOpen
// returns; destroying it releases whatever EntryRelease has not (deflate state, file, buffer).
// Not movable: zlib's state points back at ZStream.
struct EntryStream {
  EntryStream();
  ~EntryStream();
  EntryStream(const EntryStream&) = delete;
  EntryStream& operator=(const EntryStream&) = delete;

  z_stream ZStream;
  int32_t LastError = 0;  // 0 ok, 1 finish completed, -1 archive write failed, else deflate's
  std::string ArchivePath;
  File ArchiveFile;  // open from EntryOpen to EntryRelease (unused by EntryBegin)
  // The archive written: &ArchiveFile, or the caller's file given to EntryBegin.
  File* Archive = nullptr;
  bool Borrowed = false;  // Archive is the caller's: released streams leave it open
  std::unique_ptr<unsigned char[]> OutBuffer;  // kEntryBufferSize bytes
  uint32_t Crc = 0;
  uint64_t UncompressedSize = 0;  // set by EntryClose
  uint64_t CompressedSize = 0;    // set by EntryClose
  uint64_t HeaderOffset = 0;      // archive size at EntryOpen
  uint64_t DataStart = 0;         // first deflated byte
  uint32_t FileTime = 0;          // MS-DOS date/time, time in the low 16 bits

  uint16_t Flags = kFlagMaximumCompression;  // as written in the local header
  bool Zip64Reserved = false;  // the local header carries the 20-byte Zip64 extra field
  bool DeflateReady = false;   // deflateInit2 succeeded and deflateEnd is still due
  // The local header waits at the start of OutBuffer, so that a small entry reaches the archive
  // in one write with its CRC and sizes already in place (EntryBegin only).
  bool HeaderInBuffer = false;
  bool HeaderPatched = false;  // CRC and sizes went out with the held-back header
  int WriteErrorNumber = 0;    // message-table number of the last failed archive write
  uint64_t WrittenEnd = 0;     // archive offset just past the last byte written
  int DeflateLevel = 0;        // the settings the deflate state was made or last reset with
  int DeflateStrategy = 0;
  // The entry's data came deflated already (EntryWriteDeflated): its sizes so far.
  bool Predeflated = false;
  uint64_t PredeflatedIn = 0;
  uint64_t PredeflatedOut = 0;
};

// Opens a stream on the existing archive at `archive_path`, appending the local header and
// `name` (bytes unchanged) at its end. `mode`: each digit sets the level, "f" filtered, "h"
// Huffman only, the last setting wins; no digit = level -1 (deflate's default), no letter =
// default strategy.
// Returns nullptr - and leaves the archive unchanged, creating no file - when the path or mode
// is empty, deflate cannot be set up, or the archive cannot be opened read-write, sized or
// positioned. Raises EInOutError when writing the header or name fails (the archive is then cut
// back to its old size), and when `name` is longer than 65,535 bytes (number 3, nothing
// written).
std::unique_ptr<EntryStream> EntryOpen(const std::string& archive_path, const std::string& mode,
                                       const std::string& name, uint32_t file_time,
                                       const EntryOptions& options = {});

// Starts an entry on `archive`, which the caller keeps open and positioned at `offset`, its end;
// for a builder that writes many entries through one handle. `stream` may have carried an
// earlier entry: its deflate state and buffer are reset and reused (the same bytes as a fresh
// stream). The local header is held back until the first full buffer or the finish, so a small
// entry costs one write. Returns 0, or -2 when deflate cannot be set up. Raises EInOutError
// (number 3, nothing written) when `name` is longer than 65,535 bytes. After EntryClose or
// EntryDiscard the archive is positioned at its new end; after a failure, see EntryDiscard.
int32_t EntryBegin(EntryStream& stream, File& archive, uint64_t offset, const std::string& mode,
                   const std::string& name, uint32_t file_time, const EntryOptions& options = {});

// Deflates `length` bytes of `buffer` into the stream. Returns the number of bytes consumed
// (`length` on success, fewer after a failed archive write - LastError -1 - or a deflate error -
// LastError holds it), or -2 without a stream. The CRC covers all `length` bytes either way.
// A stream without a reserved Zip64 field refuses (LastError -1) input that could carry a size
// past kMaxPlainField.
int64_t EntryWrite(EntryStream* stream, const void* buffer, uint32_t length);

// Appends `length` bytes of raw deflate data made elsewhere from the entry's next
// `input_length` bytes, whose CRC-32 is `crc`; the data of the last call must end the deflate
// stream. An entry takes either this or EntryWrite, never both; EntryClose then only writes out
// what is buffered and patches the header as for any entry. Returns 0; -2 without a stream; -1
// when an archive write failed, or when the sizes would need a Zip64 field the header lacks
// (LastError -1 either way).
int32_t EntryWriteDeflated(EntryStream* stream, const void* data, std::size_t length,
                           uint64_t input_length, uint32_t crc);

// Flushes deflate with `flush` (EntryClose uses Z_FINISH) and writes what is pending. 0 when
// done, -2 without a stream, -1 when an archive write failed, else deflate's error.
int32_t EntryFinish(EntryStream* stream, int flush);

// Ends deflate and closes the archive (for a stream of EntryBegin: keeps both for the next
// entry). -2 without a stream; else 0, or -1 when the close failed, or LastError when that is
// negative. The record stays readable.
int32_t EntryRelease(EntryStream* stream);

// Finishes the entry, patches CRC and sizes into its local header and releases the stream.
// 0 on success: Crc, CompressedSize, UncompressedSize, HeaderOffset and FileTime are final.
// -2 without a stream or when the patch write failed; EntryRelease's result when the finish
// failed (the stream is released; do not read it). Raises EInOutError when the archive's size
// cannot be read or the patch position cannot be reached.
int32_t EntryClose(EntryStream* stream);

// Gives up on an entry that will not be listed: releases the stream and cuts the archive back
// to HeaderOffset, so nothing of the entry stays behind (readers that scan local headers report
// an unlisted, unfinished entry as damage). Never throws; 0 when the archive was cut back, else
// -1. Callable after EntryClose or EntryRelease too.
int32_t EntryDiscard(EntryStream* stream);

}  // namespace kel
