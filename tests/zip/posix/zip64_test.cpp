// Sources of 4.5 GiB (sparse, so they cost no disk to make): deflated, the entry needs Zip64
// sizes; stored (level 0), the archive passes 4 GiB and needs Zip64 offsets and end records.
// Each takes a minute or more with the outside readers, hence the "slow" label.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "zip/zip_builder.h"
#include "zip/zip_reading.h"

namespace kel {
namespace {

using test::Le16;
using test::Le32;

constexpr uint64_t kBigSize = 4608ull << 20;  // 4.5 GiB

uint32_t CrcOfZeros(uint64_t size) {
  const std::string zeros(1 << 20, '\0');
  uLong crc = crc32(0, nullptr, 0);
  for (uint64_t done = 0; done < size; done += zeros.size()) {
    crc = crc32(crc, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size()));
  }
  return static_cast<uint32_t>(crc);
}

// Archives a sparse 4.5 GiB file and a small one at `level`; returns the archive's path.
std::string BuildBigArchive(const test::TempDir& dir, int32_t level) {
  const std::string big = dir / "big.bin", small = dir / "small.txt";
  test::WriteFile(big, "");
  std::filesystem::resize_file(big, kBigSize);
  test::WriteFile(small, "small");
  TZipBuilder builder;
  builder.CompressionLevel = level;
  builder.OpenArchive(dir / "big.zip", dir.path() + "/");
  builder.AddFileToArchive(big);
  builder.AddFileToArchive(small);
  builder.CloseArchive();
  return dir / "big.zip";
}

TEST(Zip64Slow, DeflatedEntryOfFourAndAHalfGib) {
  test::TempDir dir;
  const std::string archive = BuildBigArchive(dir, 6);
  const std::string b = test::ReadFile(archive);  // a few MB
  EXPECT_EQ(Le16(b, 4), 45);                      // sizes reserved in the local header
  EXPECT_EQ(Le32(b, 18), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(b, 22), 0xFFFFFFFFu);
  const auto entries = test::ReadArchive(b);  // inflates, checks size and CRC
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].uncompressed, kBigSize);
  EXPECT_EQ(entries[0].crc, CrcOfZeros(kBigSize));
  EXPECT_EQ(entries[0].version_needed, 45);
  EXPECT_EQ(entries[1].data, "small");
  EXPECT_EQ(entries[1].version_needed, 20);
  // Offsets all fit: the classic end record alone.
  EXPECT_NE(Le32(b, b.size() - 22 - 20), 0x07064b50u);
  test::ExpectArchiveIntact(archive);
  std::string listing;
  ASSERT_EQ(test::RunCommand("unzip -Zl " + test::ShellQuote(archive), &listing), 0);
  EXPECT_NE(listing.find("4831838208"), std::string::npos) << listing;
}

TEST(Zip64Slow, StoredEntryTakesTheArchivePastFourGib) {
  test::TempDir dir;
  const std::string archive = BuildBigArchive(dir, 0);
  const auto entries = test::ReadArchiveDirectory(archive);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].uncompressed, kBigSize);
  EXPECT_GT(entries[0].compressed, kBigSize);
  EXPECT_EQ(entries[0].crc, CrcOfZeros(kBigSize));
  EXPECT_GT(entries[1].offset, 0xFFFFFFFFu);
  EXPECT_EQ(entries[1].uncompressed, 5u);
  EXPECT_EQ(entries[1].version_needed, 45);  // its offset lives in a Zip64 extra field
  test::ExpectArchiveIntact(archive);
  std::string out;
  ASSERT_EQ(test::RunCommand("unzip -p " + test::ShellQuote(archive) + " small.txt", &out), 0);
  EXPECT_EQ(out, "small");
}

}  // namespace
}  // namespace kel
