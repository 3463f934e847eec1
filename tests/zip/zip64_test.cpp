// A source of 4.5 GiB (sparse, so it costs no disk) followed by a small one: the first entry
// needs Zip64 sizes, the second a Zip64 offset, the archive a Zip64 end record.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "zip/zip_builder.h"
#include "zip_reading.h"

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

TEST(Zip64Slow, SparseSourceOfFourAndAHalfGib) {
  test::TempDir dir;
  const std::string big = dir / "big.bin";
  std::filesystem::resize_file((test::WriteFile(big, ""), big), kBigSize);
  const std::string archive = dir / "big.zip";
  TZipBuilder builder;
  builder.OpenArchive(archive, dir.path() + "/");
  builder.AddFileToArchive(big);
  builder.AddFileToArchive((test::WriteFile(dir / "small.txt", "small"), dir / "small.txt"));
  builder.CloseArchive();

  const std::string b = test::ReadFile(archive);  // a few MB
  EXPECT_EQ(Le16(b, 4), 45);                       // local header: Zip64 sizes reserved
  EXPECT_EQ(Le32(b, 18), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(b, 22), 0xFFFFFFFFu);
  const auto entries = test::ReadArchive(b);       // inflates and checks size and CRC
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].uncompressed, kBigSize);
  EXPECT_EQ(entries[0].crc, CrcOfZeros(kBigSize));
  EXPECT_LT(entries[0].compressed, 0xFFFFFFFFu);
  EXPECT_EQ(entries[1].data, "small");
  EXPECT_EQ(b.substr(b.size() - 22 - 20 - 56, 4), "PK\x06\x06");  // Zip64 end record
  test::ExpectArchiveIntact(archive);
  std::string listing;
  ASSERT_EQ(test::RunCommand("unzip -Zl " + test::ShellQuote(archive), &listing), 0);
  EXPECT_NE(listing.find("4831838208"), std::string::npos) << listing;
}

}  // namespace
}  // namespace kel
