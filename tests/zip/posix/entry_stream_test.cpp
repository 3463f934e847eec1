#include "zip/entry_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/exceptions.h"
#include "support/temp_dir.h"
#include "zip/central_directory.h"
#include "zip/zip_reading.h"

namespace kel {
namespace {

using test::Le16;
using test::Le32;
using test::Le64;
using test::ReadFile;

constexpr uint32_t kTime = 0x5A8C6C21;  // 2025-04-12 13:33:02

uint64_t FileSize(const std::string& path) { return std::filesystem::file_size(path); }

// Writes `data` through a new stream on `archive` in blocks of `block` bytes and closes it.
std::unique_ptr<EntryStream> WriteEntry(const std::string& archive, const std::string& name,
                                        const std::string& data, std::size_t block,
                                        const std::string& mode = "6") {
  auto s = EntryOpen(archive, mode, name, kTime);
  EXPECT_NE(s, nullptr);
  if (!s) return s;
  for (std::size_t at = 0; at < data.size(); at += block) {
    const auto n = static_cast<uint32_t>(std::min(block, data.size() - at));
    EXPECT_EQ(EntryWrite(s.get(), data.data() + at, n), n);
  }
  EXPECT_EQ(EntryClose(s.get()), 0);
  return s;
}

TPkHeader HeaderOf(const EntryStream& s) {
  TPkHeader h;
  h.FileTime = s.FileTime;
  h.HeaderOffset = s.HeaderOffset;
  h.Crc = s.Crc;
  h.CompressedSize = s.CompressedSize;
  h.UncompressedSize = s.UncompressedSize;
  h.Attributes = 0x20;
  h.Flags = s.Flags;
  h.Zip64Local = s.Zip64Reserved;
  return h;
}

// Completes the streams' entries into an archive the outside readers can check.
void Finish(const std::string& archive,
            const std::vector<std::pair<std::string, TPkHeader>>& entries) {
  File f = File::Open(archive, OpenMode::kReadWrite);
  const auto start = static_cast<uint64_t>(f.Size());
  f.Seek(static_cast<int64_t>(start));
  WriteCentralDirectory(f, start, entries);
  f.Close();
}

class EntryStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteFile(archive_, ""); }
  test::TempDir dir_;
  std::string archive_ = dir_ / "a.zip";
};

TEST_F(EntryStreamTest, HeaderAtTheEndPatchedWithCrcAndSizes) {
  const std::string first = test::MakeBytes(3000, 1, true);
  const std::string second = test::MakeBytes(40000, 2, true);
  auto a = WriteEntry(archive_, "first.txt", first, 16384);
  const uint64_t n = FileSize(archive_);
  auto b = WriteEntry(archive_, "second.txt", second, 16384);
  const std::string bytes = ReadFile(archive_);

  EXPECT_EQ(b->HeaderOffset, n);
  EXPECT_EQ(Le32(bytes, n), 0x04034b50u);
  EXPECT_EQ(Le32(bytes, n + 10), kTime);
  EXPECT_EQ(Le32(bytes, n + 14), crc32(0, reinterpret_cast<const Bytef*>(second.data()),
                                       static_cast<uInt>(second.size())));
  EXPECT_EQ(Le32(bytes, n + 18), b->CompressedSize);
  EXPECT_EQ(Le32(bytes, n + 22), second.size());
  EXPECT_EQ(bytes.substr(n + 30, 10), "second.txt");
  EXPECT_EQ(b->DataStart, n + 40);
  EXPECT_EQ(b->CompressedSize, bytes.size() - b->DataStart);
  EXPECT_EQ(bytes.substr(b->DataStart), test::RawDeflate(second, 6, Z_DEFAULT_STRATEGY));

  Finish(archive_, {{"first.txt", HeaderOf(*a)}, {"second.txt", HeaderOf(*b)}});
  test::ExpectArchiveHolds(archive_, {{"first.txt", first}, {"second.txt", second}});
}

TEST_F(EntryStreamTest, EmptyNameAndNoDataGiveBareHeaderAndEmptyDeflate) {
  auto s = EntryOpen(archive_, "6", "", kTime);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(FileSize(archive_), 30u);
  EXPECT_EQ(s->DataStart, s->HeaderOffset + 30);
  EXPECT_EQ(EntryWrite(s.get(), "x", 0), 0);  // consumes nothing, CRC untouched
  EXPECT_EQ(EntryClose(s.get()), 0);
  EXPECT_EQ(s->Crc, 0u);
  EXPECT_EQ(s->UncompressedSize, 0u);
  EXPECT_EQ(ReadFile(archive_).substr(30), test::RawDeflate("", 6, Z_DEFAULT_STRATEGY));
  EXPECT_EQ(s->CompressedSize, 2u);
  // Outside readers refuse an empty name; an entry from a file always has one.
  Finish(archive_, {{"", HeaderOf(*s)}});
  const auto entries = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].data, "");
}

TEST_F(EntryStreamTest, EmptyWriteLeavesTheCrcAsItWas) {
  const std::string data = test::MakeBytes(5000, 7, true);
  auto s = EntryOpen(archive_, "6", "e.txt", kTime);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(EntryWrite(s.get(), data.data(), static_cast<uint32_t>(data.size())), 5000);
  const uint32_t crc = s->Crc;
  ASSERT_NE(crc, 0u);
  // zlib's crc32 answers a null buffer with its starting value 0, whatever it is given.
  EXPECT_EQ(EntryWrite(s.get(), nullptr, 0), 0);
  EXPECT_EQ(s->Crc, crc);
  EXPECT_EQ(EntryWrite(s.get(), data.data(), 0), 0);
  EXPECT_EQ(s->Crc, crc);
  ASSERT_EQ(EntryClose(s.get()), 0);
  Finish(archive_, {{"e.txt", HeaderOf(*s)}});
  test::ExpectArchiveHolds(archive_, {{"e.txt", data}});
}

TEST_F(EntryStreamTest, ModeStringSetsLevelAndStrategy) {
  const std::string data = test::MakeBytes(60000, 3, true);
  struct Case {
    std::string mode;
    int level, strategy;
  } cases[] = {{"6", 6, Z_DEFAULT_STRATEGY},  {"f9", 9, Z_FILTERED},
               {"59", 9, Z_DEFAULT_STRATEGY}, {"h", -1, Z_HUFFMAN_ONLY},
               {"-", -1, Z_DEFAULT_STRATEGY}, {"1hf", 1, Z_FILTERED}};
  for (const Case& c : cases) {
    test::WriteFile(archive_, "");
    auto s = WriteEntry(archive_, "m.txt", data, 16384, c.mode);
    ASSERT_NE(s, nullptr) << c.mode;
    EXPECT_EQ(ReadFile(archive_).substr(s->DataStart), test::RawDeflate(data, c.level, c.strategy))
        << "mode \"" << c.mode << "\"";
    Finish(archive_, {{"m.txt", HeaderOf(*s)}});
    test::ExpectArchiveHolds(archive_, {{"m.txt", data}});
  }
  EXPECT_EQ(EntryOpen(archive_, "", "m.txt", kTime), nullptr);
}

TEST_F(EntryStreamTest, BlockSizesDoNotChangeTheEntry) {
  const std::string data = test::MakeBytes(70000, 4, true);
  std::string reference;
  uint32_t reference_crc = 0;
  for (std::size_t block : {std::size_t{70000}, std::size_t{1}, std::size_t{7}, std::size_t{16383},
                            std::size_t{16384}, std::size_t{16385}}) {
    test::WriteFile(archive_, "");
    auto s = WriteEntry(archive_, "b.txt", data, block);
    ASSERT_NE(s, nullptr);
    const std::string deflated = ReadFile(archive_).substr(s->DataStart);
    if (reference.empty()) {
      reference = deflated;
      reference_crc = s->Crc;
    }
    EXPECT_EQ(s->Crc, reference_crc) << "block " << block;
    EXPECT_EQ(s->UncompressedSize, data.size()) << "block " << block;
    EXPECT_EQ(deflated, reference) << "block " << block;
  }
}

TEST_F(EntryStreamTest, CompressedDataReachesTheFileOnlyInFullBuffers) {
  const std::string noise = test::MakeBytes(100000, 5, false);
  auto s = EntryOpen(archive_, "6", "n.bin", kTime);
  ASSERT_NE(s, nullptr);
  for (std::size_t at = 0; at < noise.size(); at += 1000) {
    ASSERT_EQ(EntryWrite(s.get(), noise.data() + at, 1000), 1000);
    EXPECT_EQ((FileSize(archive_) - s->DataStart) % kEntryBufferSize, 0u);
  }
  EXPECT_GT(FileSize(archive_), s->DataStart);
  ASSERT_EQ(EntryClose(s.get()), 0);
  Finish(archive_, {{"n.bin", HeaderOf(*s)}});
  test::ExpectArchiveHolds(archive_, {{"n.bin", noise}});
}

TEST_F(EntryStreamTest, NoStreamGivesMinusTwo) {
  EXPECT_EQ(EntryWrite(nullptr, "x", 1), -2);
  EXPECT_EQ(EntryFinish(nullptr, Z_FINISH), -2);
  EXPECT_EQ(EntryRelease(nullptr), -2);
  EXPECT_EQ(EntryClose(nullptr), -2);
}

TEST_F(EntryStreamTest, OpenYieldsNothingWithoutAnArchiveAndCreatesNone) {
  const std::string missing = dir_ / "missing.zip";
  EXPECT_EQ(EntryOpen(missing, "6", "a", kTime), nullptr);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(EntryOpen("", "6", "a", kTime), nullptr);
  EXPECT_EQ(EntryOpen(dir_.path(), "6", "a", kTime), nullptr);  // a folder
  EXPECT_EQ(FileSize(archive_), 0u);
}

TEST_F(EntryStreamTest, NameBeyondSixteenBitsIsRefusedBeforeWriting) {
  try {
    EntryOpen(archive_, "6", std::string(65536, 'n'), kTime);
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 3);
  }
  EXPECT_EQ(FileSize(archive_), 0u);
  auto s = EntryOpen(archive_, "6", std::string(65535, 'n'), kTime);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Le16(ReadFile(archive_), 26), 65535);
}

TEST_F(EntryStreamTest, SizeNearFourGibReservesAndPatchesZip64Field) {
  const std::string data = test::MakeBytes(5000, 6, true);
  EntryOptions options;
  options.expected_size = 0xFFFFFFF0u;  // deflate's worst case passes 32 bits
  auto s = EntryOpen(archive_, "6", "z.txt", kTime, options);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(s->Zip64Reserved);
  ASSERT_EQ(EntryWrite(s.get(), data.data(), static_cast<uint32_t>(data.size())), 5000);
  ASSERT_EQ(EntryClose(s.get()), 0);
  const std::string bytes = ReadFile(archive_);
  EXPECT_EQ(Le16(bytes, 4), 45);
  EXPECT_EQ(Le32(bytes, 14), s->Crc);
  EXPECT_EQ(Le32(bytes, 18), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(bytes, 22), 0xFFFFFFFFu);
  EXPECT_EQ(Le16(bytes, 28), 20);
  EXPECT_EQ(Le16(bytes, 35), 1);      // extra id
  EXPECT_EQ(Le16(bytes, 37), 16);     // its length
  EXPECT_EQ(Le64(bytes, 39), 5000u);  // uncompressed, then compressed
  EXPECT_EQ(Le64(bytes, 47), s->CompressedSize);
  EXPECT_EQ(s->DataStart, 55u);
  Finish(archive_, {{"z.txt", HeaderOf(*s)}});
  test::ExpectArchiveHolds(archive_, {{"z.txt", data}});

  options.expected_size = 4000000000u;  // fits with room for deflate's growth
  test::WriteFile(archive_, "");
  EXPECT_FALSE(EntryOpen(archive_, "6", "z.txt", kTime, options)->Zip64Reserved);
}

TEST_F(EntryStreamTest, InputThatWouldOverflowPlainSizesIsRefused) {
  auto s = EntryOpen(archive_, "6", "g.bin", kTime);
  ASSERT_NE(s, nullptr);
  ASSERT_FALSE(s->Zip64Reserved);
  const std::string block(16384, 'g');
  // Stand in for 4 GiB already consumed: the counter is what the limit is judged by.
  s->ZStream.total_in = 0xFFFF0000u;
  EXPECT_EQ(EntryWrite(s.get(), block.data(), 16384), 0);
  EXPECT_EQ(s->LastError, -1);
  EXPECT_EQ(s->Crc, crc32(0, reinterpret_cast<const Bytef*>(block.data()), 16384));
  EXPECT_EQ(EntryRelease(s.get()), -1);
}

}  // namespace
}  // namespace kel
