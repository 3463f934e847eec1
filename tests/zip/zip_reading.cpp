#include "zip_reading.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "support/temp_dir.h"

namespace kel::test {

uint16_t Le16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b.at(at)) |
                               static_cast<unsigned char>(b.at(at + 1)) << 8);
}

uint32_t Le32(const std::string& b, std::size_t at) {
  return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}

uint64_t Le64(const std::string& b, std::size_t at) {
  return Le32(b, at) | static_cast<uint64_t>(Le32(b, at + 4)) << 32;
}

namespace {

// Entries up to this size are kept for comparison; larger ones are only checked.
constexpr uint64_t kKeepLimit = 256u << 20;

struct EndInfo {
  uint64_t count = 0, size = 0, offset = 0;
};

EndInfo FindEnd(const std::string& b, uint64_t base) {
  EndInfo end;
  if (b.size() < 22) {
    ADD_FAILURE() << "archive shorter than an end record";
    return end;
  }
  const std::size_t at = b.size() - 22;  // we never write a comment
  EXPECT_EQ(Le32(b, at), 0x06054b50u) << "no end record at the end";
  end.count = Le16(b, at + 10);
  end.size = Le32(b, at + 12);
  end.offset = Le32(b, at + 16);
  if (end.count == 0xFFFF || end.size == 0xFFFFFFFF || end.offset == 0xFFFFFFFF) {
    EXPECT_EQ(Le32(b, at - 20), 0x07064b50u) << "no Zip64 locator";
    const uint64_t z = Le64(b, at - 20 + 8) - base;
    EXPECT_EQ(Le32(b, z), 0x06064b50u) << "no Zip64 end record";
    end.count = Le64(b, z + 32);
    end.size = Le64(b, z + 40);
    end.offset = Le64(b, z + 48);
  }
  return end;
}

// Replaces the 0xFFFFFFFF values of `e` from a Zip64 extra field in `extra`.
void ApplyZip64(const std::string& extra, ReadEntry& e, bool with_offset) {
  for (std::size_t p = 0; p + 4 <= extra.size(); p += 4 + Le16(extra, p + 2)) {
    if (Le16(extra, p) != 1) continue;
    std::size_t v = p + 4;
    if (e.uncompressed == 0xFFFFFFFF) e.uncompressed = Le64(extra, v), v += 8;
    if (e.compressed == 0xFFFFFFFF) e.compressed = Le64(extra, v), v += 8;
    if (with_offset && e.offset == 0xFFFFFFFF) e.offset = Le64(extra, v);
  }
}

void InflateEntry(const std::string& b, std::size_t data_at, ReadEntry& e) {
  z_stream z{};
  ASSERT_EQ(inflateInit2(&z, -15), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(b.data() + data_at));
  z.avail_in = static_cast<uInt>(e.compressed);
  std::vector<unsigned char> out(1 << 20);
  uLong crc = crc32(0, nullptr, 0);
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = out.size() - z.avail_out;
    crc = crc32(crc, out.data(), static_cast<uInt>(got));
    if (e.uncompressed <= kKeepLimit) e.data.append(reinterpret_cast<char*>(out.data()), got);
  }
  EXPECT_EQ(status, Z_STREAM_END) << e.name << ": deflate data broken";
  EXPECT_EQ(z.total_in, e.compressed) << e.name << ": compressed size";
  EXPECT_EQ(z.total_out, e.uncompressed) << e.name << ": uncompressed size";
  EXPECT_EQ(crc, e.crc) << e.name << ": CRC";
  inflateEnd(&z);
}

// Compares the local header at the start of `h` with the central record; returns the offset
// of the entry's data from the header's start.
std::size_t CheckLocalHeader(const std::string& h, const ReadEntry& e) {
  EXPECT_EQ(Le32(h, 0), 0x04034b50u) << e.name << ": local header signature";
  EXPECT_EQ(Le16(h, 4), e.version_needed) << e.name;
  EXPECT_EQ(Le16(h, 6), e.flags) << e.name;
  EXPECT_EQ(Le16(h, 8), e.method) << e.name;
  EXPECT_EQ(Le32(h, 10), e.time) << e.name;
  EXPECT_EQ(Le32(h, 14), e.crc) << e.name;
  const uint16_t name_length = Le16(h, 26), extra_length = Le16(h, 28);
  EXPECT_EQ(h.substr(30, name_length), e.name);
  ReadEntry local;
  local.compressed = Le32(h, 18);
  local.uncompressed = Le32(h, 22);
  ApplyZip64(h.substr(30 + name_length, extra_length), local, false);
  EXPECT_EQ(local.compressed, e.compressed) << e.name << ": local compressed size";
  EXPECT_EQ(local.uncompressed, e.uncompressed) << e.name << ": local uncompressed size";
  return 30u + name_length + extra_length;
}

// The central directory found through the end records in `tail`, the last bytes of an archive
// that starts `base` bytes before it.
std::vector<ReadEntry> ReadDirectory(const std::string& tail, uint64_t base) {
  std::vector<ReadEntry> entries;
  const EndInfo end = FindEnd(tail, base);
  std::size_t at = end.offset - base;
  for (uint64_t i = 0; i < end.count; ++i) {
    if (Le32(tail, at) != 0x02014b50u) {
      ADD_FAILURE() << "central record " << i << " missing";
      break;
    }
    ReadEntry e;
    e.made_by = Le16(tail, at + 4);
    e.version_needed = Le16(tail, at + 6);
    e.flags = Le16(tail, at + 8);
    e.method = Le16(tail, at + 10);
    e.time = Le32(tail, at + 12);
    e.crc = Le32(tail, at + 16);
    e.compressed = Le32(tail, at + 20);
    e.uncompressed = Le32(tail, at + 24);
    const uint16_t name_length = Le16(tail, at + 28), extra_length = Le16(tail, at + 30);
    EXPECT_EQ(Le16(tail, at + 32), 0) << "comment length";
    e.external = Le32(tail, at + 38);
    e.offset = Le32(tail, at + 42);
    e.name = tail.substr(at + 46, name_length);
    ApplyZip64(tail.substr(at + 46 + name_length, extra_length), e, true);
    entries.push_back(std::move(e));
    at += 46 + name_length + extra_length;
  }
  EXPECT_EQ(at + base - end.offset, end.size) << "central directory size";
  return entries;
}

}  // namespace

std::vector<ReadEntry> ReadArchive(const std::string& b) {
  std::vector<ReadEntry> entries = ReadDirectory(b, 0);
  for (ReadEntry& e : entries) {
    const std::size_t data = CheckLocalHeader(b.substr(e.offset, 30 + 0xFFFF * 2), e);
    InflateEntry(b, e.offset + data, e);
  }
  return entries;
}

std::vector<ReadEntry> ReadArchiveDirectory(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  const uint64_t size = static_cast<uint64_t>(in.tellg());
  const uint64_t base = size > (16u << 20) ? size - (16u << 20) : 0;
  std::string tail(size - base, '\0');
  in.seekg(static_cast<std::streamoff>(base));
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  std::vector<ReadEntry> entries = ReadDirectory(tail, base);
  for (const ReadEntry& e : entries) {
    std::string header(30 + 0xFFFF * 2, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(e.offset));
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    CheckLocalHeader(header, e);
  }
  return entries;
}

std::string RawDeflate(const std::string& data, int level, int strategy) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void ExpectArchiveHolds(const std::string& path, const ZipEntries& expected,
                        const std::string& name_encoding) {
  ZipEntries found;
  for (const ReadEntry& e : ReadArchive(ReadFile(path))) found[e.name] = e.data;
  if (name_encoding == "utf-8") {
    EXPECT_EQ(found, expected) << path;
  } else {
    EXPECT_EQ(found.size(), expected.size()) << path;
  }
  ExpectArchiveReadable(path, expected, name_encoding);
}

}  // namespace kel::test
