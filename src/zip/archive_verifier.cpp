#include "zip/archive_verifier.h"

#include <zlib.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "platform/code_page.h"
#include "platform/file.h"
#include "zip/entry_stream.h"

namespace kel {

namespace {

constexpr std::size_t kChunk = 256 << 10;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kMarker32 = 0xFFFFFFFFu;
constexpr uint16_t kMarker16 = 0xFFFF;
constexpr uint64_t kEndSize = 22;
constexpr uint64_t kLocatorSize = 20;
constexpr uint64_t kZip64EndSize = 56;
constexpr uint64_t kCentralSize = 46;
constexpr uint64_t kLocalSize = 30;

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

std::string Hex32(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIx32, v);
  return text;
}

// The facts of the one entry as the central directory records them.
struct CentralFacts {
  uint16_t needed = 0;
  uint16_t flags = 0;
  uint32_t time = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint64_t offset = 0;
  std::string name;
};

// Where the central directory lies, from the end records.
struct DirectoryPlace {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t end = 0;  // where the records behind the directory begin
};

class Verifier {
 public:
  Verifier(const std::string& path, const ExpectedEntry& expected)
      : path_(path), expected_(expected), file_(File::Open(path, OpenMode::kRead)) {}

  void Run() {
    const DirectoryPlace place = ReadEndRecords();
    const CentralFacts central = ReadCentral(place);
    const uint64_t data_start = CheckLocalHeader(central);
    if (data_start + central.compressed != place.offset)
      Fail("圧縮データの長さが記録と一致しません");
    CheckData(central, data_start);
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) const { throw EVerifyError(path_, reason); }

  std::string ReadAt(uint64_t offset, uint64_t count) {
    std::string bytes(count, '\0');
    file_.Seek(static_cast<int64_t>(offset));
    std::size_t done = 0;
    while (done < count) {
      const int64_t n = file_.Read(bytes.data() + done, count - done);
      if (n == 0) Fail("書庫が途中で終わっています");
      done += static_cast<std::size_t>(n);
    }
    return bytes;
  }

  DirectoryPlace ReadEndRecords() {
    const uint64_t size = static_cast<uint64_t>(file_.Size());
    // The builder writes no archive comment, so the end record closes the file exactly.
    if (size < kEndSize) Fail("終端レコードがありません");
    const std::string end = ReadAt(size - kEndSize, kEndSize);
    if (Get32(end, 0) != kEndSignature || Get16(end, 20) != 0) Fail("終端レコードがありません");
    if (Get16(end, 4) != 0 || Get16(end, 6) != 0)
      Fail("終端レコードのディスク番号が 0 ではありません");
    DirectoryPlace place{Get32(end, 16), Get32(end, 12), size - kEndSize};
    uint64_t count = Get16(end, 10);
    if (Get16(end, 8) != count) Fail("終端レコードのエントリ数が食い違っています");
    if (HasZip64Locator(size)) {
      const uint64_t here = ReadZip64End(size, place, count);
      CheckMarkedOrEqual(Get16(end, 10), kMarker16, count);
      CheckMarkedOrEqual(Get32(end, 12), kMarker32, place.size);
      CheckMarkedOrEqual(Get32(end, 16), kMarker32, place.offset);
      place.end = here;
    } else if (count == kMarker16 || place.size == kMarker32 || place.offset == kMarker32) {
      Fail("Zip64 終端レコードがありません");
    }
    if (count != 1) Fail("エントリ数が 1 ではありません (" + std::to_string(count) + ")");
    if (place.offset > place.end || place.end - place.offset != place.size)
      Fail("中央ディレクトリの位置または大きさが不正です");
    return place;
  }

  bool HasZip64Locator(uint64_t size) {
    if (size < kEndSize + kLocatorSize + kZip64EndSize) return false;
    return Get32(ReadAt(size - kEndSize - kLocatorSize, 4), 0) == kZip64LocatorSignature;
  }

  void CheckMarkedOrEqual(uint64_t field, uint64_t marker, uint64_t value) const {
    if (field != marker && field != value)
      Fail("終端レコードと Zip64 終端レコードが食い違っています");
  }

  // Reads the Zip64 end record through its locator into `place` and `count`; returns its
  // offset, which must be right in front of the locator.
  uint64_t ReadZip64End(uint64_t size, DirectoryPlace& place, uint64_t& count) {
    const std::string locator = ReadAt(size - kEndSize - kLocatorSize, kLocatorSize);
    const uint64_t at = Get64(locator, 8);
    if (Get32(locator, 4) != 0 || Get32(locator, 16) != 1 ||
        at != size - kEndSize - kLocatorSize - kZip64EndSize)
      Fail("Zip64 終端レコードの位置が不正です");
    const std::string record = ReadAt(at, kZip64EndSize);
    if (Get32(record, 0) != kZip64EndSignature || Get64(record, 4) != kZip64EndSize - 12 ||
        Get32(record, 16) != 0 || Get32(record, 20) != 0 || Get64(record, 24) != Get64(record, 32))
      Fail("Zip64 終端レコードが壊れています");
    count = Get64(record, 32);
    place.size = Get64(record, 40);
    place.offset = Get64(record, 48);
    return at;
  }

  CentralFacts ReadCentral(const DirectoryPlace& place) {
    if (place.size < kCentralSize || place.size > kCentralSize + 3 * 0xFFFF)
      Fail("中央ディレクトリの大きさが不正です");
    const std::string r = ReadAt(place.offset, place.size);
    if (Get32(r, 0) != kCentralSignature) Fail("中央ディレクトリレコードがありません");
    const uint16_t name_length = Get16(r, 28), extra_length = Get16(r, 30);
    if (kCentralSize + name_length + extra_length + Get16(r, 32) != place.size)
      Fail("中央ディレクトリレコードの長さが不正です");
    if (Get16(r, 10) != 8) Fail("圧縮方法が deflate ではありません");
    if (Get16(r, 34) != 0) Fail("中央ディレクトリレコードのディスク番号が 0 ではありません");
    CentralFacts c;
    c.needed = Get16(r, 6);
    c.flags = Get16(r, 8);
    c.time = Get32(r, 12);
    c.crc = Get32(r, 16);
    c.compressed = Get32(r, 20);
    c.uncompressed = Get32(r, 24);
    c.offset = Get32(r, 42);
    c.name = r.substr(kCentralSize, name_length);
    ApplyZip64Extra(r.substr(kCentralSize + name_length, extra_length), c);
    if (c.name != expected_.name) Fail("エントリ名が書き込んだ名前と一致しません");
    if (c.flags != expected_.flags) Fail("汎用フラグが不正です (" + std::to_string(c.flags) + ")");
    // Readers refuse (or skip) an entry marked UTF-8 whose name is not: whatever was expected,
    // the mark must match the bytes.
    if ((c.flags & kFlagUtf8Name) != 0 && !IsValidUtf8(c.name))
      // "The entry name is marked UTF-8 but is not."
      Fail("エントリ名に UTF-8 の印がありますが、UTF-8 ではありません");
    if (c.offset != 0) Fail("ローカルヘッダの位置が 0 ではありません");
    return c;
  }

  // The Zip64 extra field holds, in this order, the values whose 32-bit fields are marked.
  void ApplyZip64Extra(const std::string& extra, CentralFacts& c) {
    std::size_t at = 0;
    bool found = false;
    while (at + 4 <= extra.size()) {
      const uint16_t id = Get16(extra, at), length = Get16(extra, at + 2);
      if (at + 4 + length > extra.size()) break;
      if (id == 1) {
        found = true;
        std::size_t value = at + 4;
        for (uint64_t* field : {&c.uncompressed, &c.compressed, &c.offset}) {
          if (*field != kMarker32) continue;
          if (value + 8 > at + 4 + length) Fail("Zip64 拡張フィールドが短すぎます");
          *field = Get64(extra, value);
          value += 8;
        }
      }
      at += 4 + length;
    }
    if (at != extra.size()) Fail("中央ディレクトリレコードの拡張フィールドが壊れています");
    if (!found &&
        (c.uncompressed == kMarker32 || c.compressed == kMarker32 || c.offset == kMarker32))
      Fail("Zip64 拡張フィールドがありません");
  }

  // Checks the local header against the central record; returns where the data begins.
  uint64_t CheckLocalHeader(const CentralFacts& c) {
    const std::string h = ReadAt(0, kLocalSize);
    if (Get32(h, 0) != kLocalSignature) Fail("ローカルヘッダがありません");
    const uint16_t name_length = Get16(h, 26), extra_length = Get16(h, 28);
    const std::string rest = ReadAt(kLocalSize, name_length + extra_length);
    if (rest.substr(0, name_length) != c.name) Fail("ローカルヘッダのエントリ名が一致しません");
    if (Get16(h, 4) != c.needed || Get16(h, 6) != c.flags || Get16(h, 8) != 8 ||
        Get32(h, 10) != c.time || Get32(h, 14) != c.crc)
      Fail("ローカルヘッダが中央ディレクトリレコードと一致しません");
    uint64_t compressed = Get32(h, 18), uncompressed = Get32(h, 22);
    const std::string extra = rest.substr(name_length);
    if (extra.size() == 20 && Get16(extra, 0) == 1 && Get16(extra, 2) == 16 &&
        compressed == kMarker32 && uncompressed == kMarker32) {
      uncompressed = Get64(extra, 4);
      compressed = Get64(extra, 12);
    } else if (!extra.empty()) {
      Fail("ローカルヘッダの拡張フィールドが不正です");
    }
    if (compressed != c.compressed || uncompressed != c.uncompressed)
      Fail("ローカルヘッダの大きさが中央ディレクトリレコードと一致しません");
    return kLocalSize + name_length + extra_length;
  }

  void CheckData(const CentralFacts& c, uint64_t data_start) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) Fail("zlib を準備できません");
    struct InflateEnd {
      z_stream& z;
      ~InflateEnd() { inflateEnd(&z); }
    } end{z};
    std::unique_ptr<unsigned char[]> in(new unsigned char[kChunk]);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kChunk]);
    file_.Seek(static_cast<int64_t>(data_start));
    uint64_t left = c.compressed, produced = 0;
    uint32_t crc = crc32(0, nullptr, 0);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
      if (z.avail_in == 0) {
        if (left == 0) Fail("圧縮データが途中で終わっています");
        const int64_t n = file_.Read(in.get(), left < kChunk ? left : kChunk);
        if (n == 0) Fail("書庫が途中で終わっています");
        left -= static_cast<uint64_t>(n);
        z.next_in = in.get();
        z.avail_in = static_cast<uInt>(n);
      }
      z.next_out = out.get();
      z.avail_out = kChunk;
      status = inflate(&z, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END)
        Fail(std::string("圧縮データを展開できません (") + (z.msg ? z.msg : "zlib") + ")");
      const std::size_t n = kChunk - z.avail_out;
      crc = crc32(crc, out.get(), static_cast<uInt>(n));
      produced += n;
    }
    if (z.avail_in != 0 || left != 0) Fail("圧縮データの後ろに余分なデータがあります");
    if (crc != c.crc)
      Fail("CRC-32 が一致しません (記録 " + Hex32(c.crc) + ", 実際 " + Hex32(crc) + ")");
    if (produced != c.uncompressed)
      Fail("展開後の大きさが記録と一致しません (記録 " + std::to_string(c.uncompressed) +
           ", 実際 " + std::to_string(produced) + ")");
    if (produced != expected_.size)
      Fail("元のファイルと大きさが一致しません (元 " + std::to_string(expected_.size) + ", 書庫 " +
           std::to_string(produced) + ")");
  }

  const std::string& path_;
  const ExpectedEntry& expected_;
  File file_;
};

}  // namespace

EVerifyError::EVerifyError(const std::string& archive_path, const std::string& reason)
    : Exception("書庫 " + archive_path + " の検証に失敗しました: " + reason) {}

void VerifyArchive(const std::string& archive_path, const ExpectedEntry& expected) {
  try {
    Verifier(archive_path, expected).Run();
  } catch (const EVerifyError&) {
    throw;
  } catch (const EInOutError& e) {
    throw EVerifyError(archive_path, e.Message());
  }
}

}  // namespace kel
