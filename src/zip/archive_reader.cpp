#include "zip/archive_reader.h"

#include <zlib.h>

#include <memory>

#include "platform/code_page.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "zip/crc32_fast.h"
#include "zip/entry_stream.h"
#include "zip/zip_format.h"

namespace kel {

using namespace zip_format;

namespace {

constexpr std::size_t kChunk = 256 << 10;
constexpr uint64_t kEndSize = 22;
constexpr uint64_t kLocatorSize = 20;
constexpr uint64_t kZip64EndSize = 56;
constexpr uint64_t kCentralSize = 46;
constexpr uint64_t kLocalSize = 30;
constexpr uint64_t kMarker32 = kSizeOverflow;

uint16_t Get16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}
uint32_t Get32(const std::string& b, std::size_t at) {
  return Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}
uint64_t Get64(const std::string& b, std::size_t at) {
  return Get32(b, at) | static_cast<uint64_t>(Get32(b, at + 4)) << 32;
}

// Ends the reading: a fatal problem was reported, or the caller wanted no more.
struct StopReading {};

// Where the central directory lies, from the end records.
struct DirectoryPlace {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t end = 0;  // where the records behind the directory begin
};

class Reader {
 public:
  Reader(File& file, const ArchiveReadHooks& hooks) : file_(file), hooks_(hooks) {}

  std::optional<EntryFacts> Run() {
    try {
      const DirectoryPlace place = ReadEndRecords();
      entry_ = ReadCentral(place);
      if (hooks_.on_entry) hooks_.on_entry(*entry_);
      const uint64_t data_start = CheckLocalHeader(*entry_);
      if (data_start + entry_->compressed != place.offset) Report(ArchiveProblem::kDataLength);
      CheckData(*entry_, data_start);
    } catch (const StopReading&) {
    }
    return entry_;
  }

 private:
  void Report(const ArchiveFinding& finding) {
    const bool go_on = hooks_.on_finding ? hooks_.on_finding(finding) : true;
    if (!go_on || IsFatal(finding.kind)) throw StopReading();
  }
  void Report(ArchiveProblem kind, uint64_t recorded = 0, uint64_t actual = 0) {
    ArchiveFinding finding;
    finding.kind = kind;
    finding.recorded = recorded;
    finding.actual = actual;
    Report(finding);
  }
  void ReportText(ArchiveProblem kind, std::string text) {
    ArchiveFinding finding;
    finding.kind = kind;
    finding.text = std::move(text);
    Report(finding);
  }

  void Unreadable(int error_number) {
    ArchiveFinding finding;
    finding.error_number = error_number;
    finding.text = EInOutError::MessageFor(error_number);
    Report(finding);
  }

  int64_t ReadSome(void* buffer, std::size_t count) {
    int error_number = 0;
    const int64_t n = file_.TryRead(buffer, count, error_number);
    if (n < 0) Unreadable(error_number);
    return n;
  }

  void SeekTo(uint64_t offset) {
    try {
      file_.Seek(static_cast<int64_t>(offset));
    } catch (const EInOutError& e) {
      Unreadable(e.ErrorCode);
    }
  }

  // `count` bytes at `offset`; an archive that ends before them has no sound records there.
  std::string ReadAt(uint64_t offset, uint64_t count, ArchiveProblem short_kind) {
    std::string bytes(count, '\0');
    SeekTo(offset);
    std::size_t done = 0;
    while (done < count) {
      const int64_t n = ReadSome(bytes.data() + done, count - done);
      if (n == 0) Report(short_kind);
      done += static_cast<std::size_t>(n);
    }
    return bytes;
  }

  DirectoryPlace ReadEndRecords() {
    uint64_t size = 0;
    try {
      size = static_cast<uint64_t>(file_.Size());
    } catch (const EInOutError& e) {
      Unreadable(e.ErrorCode);
    }
    // The builder writes no archive comment, so the end record closes the file exactly.
    if (size < kEndSize) Report(ArchiveProblem::kNoEndRecord);
    const std::string end = ReadAt(size - kEndSize, kEndSize, ArchiveProblem::kNoEndRecord);
    if (Get32(end, 0) != kEndSignature || Get16(end, 20) != 0) Report(ArchiveProblem::kNoEndRecord);
    if (Get16(end, 4) != 0 || Get16(end, 6) != 0) Report(ArchiveProblem::kEndRecordDisk);
    DirectoryPlace place{Get32(end, 16), Get32(end, 12), size - kEndSize};
    uint64_t count = Get16(end, 10);
    if (Get16(end, 8) != count) Report(ArchiveProblem::kEndRecordCounts);
    if (HasZip64Locator(size)) {
      const uint64_t here = ReadZip64End(size, place, count);
      CheckMarkedOrEqual(Get16(end, 10), kCountOverflow, count);
      CheckMarkedOrEqual(Get32(end, 12), kMarker32, place.size);
      CheckMarkedOrEqual(Get32(end, 16), kMarker32, place.offset);
      place.end = here;
      if (count < kCountOverflow && place.size <= kMaxPlainField && place.offset <= kMaxPlainField)
        Report(ArchiveProblem::kUnneededZip64);
    } else if (count == kCountOverflow || place.size == kMarker32 || place.offset == kMarker32) {
      Report(ArchiveProblem::kNoZip64End);
    }
    if (count != 1) Report(ArchiveProblem::kEntryCount, 1, count);
    if (place.offset > place.end || place.end - place.offset != place.size)
      Report(ArchiveProblem::kDirectoryPlace);
    return place;
  }

  bool HasZip64Locator(uint64_t size) {
    if (size < kEndSize + kLocatorSize + kZip64EndSize) return false;
    return Get32(ReadAt(size - kEndSize - kLocatorSize, 4, ArchiveProblem::kNoEndRecord), 0) ==
           kZip64LocatorSignature;
  }

  void CheckMarkedOrEqual(uint64_t field, uint64_t marker, uint64_t value) {
    if (field != marker && field != value) Report(ArchiveProblem::kZip64EndDiffers);
  }

  // Reads the Zip64 end record through its locator into `place` and `count`; returns its
  // offset, which must be right in front of the locator.
  uint64_t ReadZip64End(uint64_t size, DirectoryPlace& place, uint64_t& count) {
    const std::string locator =
        ReadAt(size - kEndSize - kLocatorSize, kLocatorSize, ArchiveProblem::kNoEndRecord);
    const uint64_t at = Get64(locator, 8);
    if (Get32(locator, 4) != 0 || Get32(locator, 16) != 1 ||
        at != size - kEndSize - kLocatorSize - kZip64EndSize)
      Report(ArchiveProblem::kZip64EndPlace);
    const std::string record = ReadAt(at, kZip64EndSize, ArchiveProblem::kZip64EndBroken);
    if (Get32(record, 0) != kZip64EndSignature || Get64(record, 4) != kZip64EndSize - 12 ||
        Get32(record, 16) != 0 || Get32(record, 20) != 0 || Get64(record, 24) != Get64(record, 32))
      Report(ArchiveProblem::kZip64EndBroken);
    count = Get64(record, 32);
    place.size = Get64(record, 40);
    place.offset = Get64(record, 48);
    return at;
  }

  EntryFacts ReadCentral(const DirectoryPlace& place) {
    if (place.size < kCentralSize || place.size > kCentralSize + 3 * 0xFFFF)
      Report(ArchiveProblem::kDirectorySize);
    const std::string r = ReadAt(place.offset, place.size, ArchiveProblem::kDirectoryPlace);
    if (Get32(r, 0) != kCentralHeaderSignature) Report(ArchiveProblem::kNoCentralRecord);
    const uint16_t name_length = Get16(r, 28), extra_length = Get16(r, 30);
    if (kCentralSize + name_length + extra_length + Get16(r, 32) != place.size)
      Report(ArchiveProblem::kCentralLength);
    if (Get16(r, 10) != kMethodDeflated) Report(ArchiveProblem::kMethod, 8, Get16(r, 10));
    if (Get16(r, 34) != 0) Report(ArchiveProblem::kCentralDisk);
    EntryFacts c;
    c.needed = Get16(r, 6);
    c.flags = Get16(r, 8);
    c.time = Get32(r, 12);
    c.crc = Get32(r, 16);
    c.compressed = Get32(r, 20);
    c.uncompressed = Get32(r, 24);
    c.offset = Get32(r, 42);
    c.name = r.substr(kCentralSize, name_length);
    ApplyZip64Extra(r.substr(kCentralSize + name_length, extra_length), c);
    entry_ = c;
    if (const ExpectedEntry* e = hooks_.expected) {
      if (c.name != e->name) Report(ArchiveProblem::kEntryName);
      if (c.flags != e->flags) Report(ArchiveProblem::kFlags, e->flags, c.flags);
    }
    // Readers refuse (or skip) an entry marked UTF-8 whose name is not: whatever was expected,
    // the mark must match the bytes.
    if ((c.flags & kFlagUtf8Name) != 0 && !IsValidUtf8(c.name)) Report(ArchiveProblem::kUtf8Mark);
    if (c.offset != 0) Report(ArchiveProblem::kLocalOffset, 0, c.offset);
    return c;
  }

  // The Zip64 extra field holds, in this order, the values whose 32-bit fields are marked.
  void ApplyZip64Extra(const std::string& extra, EntryFacts& c) {
    std::size_t at = 0;
    bool found = false;
    bool unneeded = false;
    while (at + 4 <= extra.size()) {
      const uint16_t id = Get16(extra, at), length = Get16(extra, at + 2);
      if (at + 4 + length > extra.size()) break;
      if (id == kZip64ExtraId) {
        found = true;
        std::size_t value = at + 4;
        for (uint64_t* field : {&c.uncompressed, &c.compressed, &c.offset}) {
          if (*field != kMarker32) continue;
          if (value + 8 > at + 4 + length) Report(ArchiveProblem::kZip64ExtraShort);
          *field = Get64(extra, value);
          if (*field <= kMaxPlainField) unneeded = true;
          value += 8;
        }
        if (value == at + 4) unneeded = true;
      }
      at += 4 + length;
    }
    if (at != extra.size()) Report(ArchiveProblem::kCentralExtraBroken);
    if (!found &&
        (c.uncompressed == kMarker32 || c.compressed == kMarker32 || c.offset == kMarker32))
      Report(ArchiveProblem::kNoZip64Extra);
    if (unneeded) Report(ArchiveProblem::kUnneededZip64);
  }

  // Checks the local header against the central record; returns where the data begins.
  uint64_t CheckLocalHeader(const EntryFacts& c) {
    const std::string h = ReadAt(0, kLocalSize, ArchiveProblem::kNoLocalHeader);
    if (Get32(h, 0) != kLocalHeaderSignature) Report(ArchiveProblem::kNoLocalHeader);
    const uint16_t name_length = Get16(h, 26), extra_length = Get16(h, 28);
    const std::string rest =
        ReadAt(kLocalSize, name_length + extra_length, ArchiveProblem::kNoLocalHeader);
    if (rest.substr(0, name_length) != c.name) Report(ArchiveProblem::kLocalName);
    if (Get16(h, 4) != c.needed || Get16(h, 6) != c.flags || Get16(h, 8) != kMethodDeflated ||
        Get32(h, 10) != c.time || Get32(h, 14) != c.crc)
      Report(ArchiveProblem::kLocalDiffers);
    uint64_t compressed = Get32(h, 18), uncompressed = Get32(h, 22);
    const std::string extra = rest.substr(name_length);
    if (extra.size() == kZip64LocalExtraSize && Get16(extra, 0) == kZip64ExtraId &&
        Get16(extra, 2) == 16 && compressed == kMarker32 && uncompressed == kMarker32) {
      uncompressed = Get64(extra, 4);
      compressed = Get64(extra, 12);
      // The builder reserves the field only for a source whose deflate data could outgrow 32
      // bits; zlib's bound for its stream stays within a few bytes of compressBound.
      if (uncompressed <= kMaxPlainField && compressBound(uncompressed) + 64 <= kMaxPlainField)
        Report(ArchiveProblem::kUnneededZip64);
    } else if (!extra.empty()) {
      Report(ArchiveProblem::kLocalExtra);
    }
    if (compressed != c.compressed || uncompressed != c.uncompressed)
      Report(ArchiveProblem::kLocalSizes);
    return kLocalSize + name_length + extra_length;
  }

  void CheckData(const EntryFacts& c, uint64_t data_start) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
      ReportText(ArchiveProblem::kInflate, "zlib");
    }
    struct InflateEnd {
      z_stream& z;
      ~InflateEnd() { inflateEnd(&z); }
    } end{z};
    std::unique_ptr<unsigned char[]> in(new unsigned char[kChunk]);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kChunk]);
    SeekTo(data_start);
    uint64_t left = c.compressed, produced = 0;
    uint32_t crc = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
      if (z.avail_in == 0) {
        if (left == 0) Report(ArchiveProblem::kDataShort);
        const int64_t n = ReadSome(in.get(), left < kChunk ? left : kChunk);
        if (n == 0) Report(ArchiveProblem::kDataShort);
        left -= static_cast<uint64_t>(n);
        z.next_in = in.get();
        z.avail_in = static_cast<uInt>(n);
        if (hooks_.on_progress) hooks_.on_progress(static_cast<uint64_t>(n));
      }
      z.next_out = out.get();
      z.avail_out = kChunk;
      status = inflate(&z, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END)
        ReportText(ArchiveProblem::kInflate, z.msg ? z.msg : "zlib");
      const std::size_t n = kChunk - z.avail_out;
      crc = Crc32Update(crc, out.get(), n);
      produced += n;
      if (hooks_.on_data && n > 0) hooks_.on_data(out.get(), n);
    }
    if (z.avail_in != 0 || left != 0) Report(ArchiveProblem::kTrailingData);
    if (crc != c.crc) Report(ArchiveProblem::kCrc, c.crc, crc);
    if (produced != c.uncompressed) Report(ArchiveProblem::kSize, c.uncompressed, produced);
    if (hooks_.expected && produced != hooks_.expected->size)
      Report(ArchiveProblem::kSourceSize, hooks_.expected->size, produced);
  }

  File& file_;
  const ArchiveReadHooks& hooks_;
  std::optional<EntryFacts> entry_;
};

}  // namespace

bool IsFatal(ArchiveProblem kind) { return kind <= ArchiveProblem::kInflate; }

bool IsWarning(ArchiveProblem kind) { return kind == ArchiveProblem::kUnneededZip64; }

std::optional<EntryFacts> ReadArchive(File& file, const ArchiveReadHooks& hooks) {
  return Reader(file, hooks).Run();
}

}  // namespace kel
