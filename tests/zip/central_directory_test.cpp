#include "zip/central_directory.h"

#include <gtest/gtest.h>

#include "zip/entry_stream.h"
#include "zip_reading.h"

namespace kel {
namespace {

using test::Le16;
using test::Le32;
using test::Le64;

TPkHeader Header(uint64_t compressed, uint64_t uncompressed, uint64_t offset) {
  TPkHeader h;
  h.FileTime = 0x5A8C6C21;
  h.Crc = 0xCAFEBABE;
  h.CompressedSize = compressed;
  h.UncompressedSize = uncompressed;
  h.HeaderOffset = offset;
  h.Attributes = 0x21;
  h.UnixMode = 0100444;
  return h;
}

TEST(CentralRecordTest, Utf8NameIsMarkedAsUnixWithItsMode) {
  TPkHeader h = Header(1, 2, 3);
  h.Flags = kFlagMaximumCompression | kFlagUtf8Name;
  const std::string r = CentralRecord("\xe5\x86\x99\xe7\x9c\x9f.jpg", h);
  EXPECT_EQ(Le16(r, 4), 0x0314);
  EXPECT_EQ(Le16(r, 6), 20);
  EXPECT_EQ(Le16(r, 8), 0x0802);
  EXPECT_EQ(Le32(r, 38), (0100444u << 16) | 0x21u);
}

TEST(CentralRecordTest, Zip64ExtraHoldsOnlyTheValuesThatDoNotFit) {
  struct Case {
    uint64_t compressed, uncompressed, offset;
    std::vector<uint64_t> extra;  // in order: uncompressed, compressed, offset
  } cases[] = {
      {5000000, 4831838208, 0, {4831838208}},
      {10, 20, 0x100000000, {0x100000000}},
      {0xFFFFFFFF, 0x1FFFFFFFF, 0xFFFFFFFF, {0x1FFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}},
  };
  for (const Case& c : cases) {
    const std::string r = CentralRecord("big", Header(c.compressed, c.uncompressed, c.offset));
    EXPECT_EQ(Le16(r, 6), 45);
    EXPECT_EQ(Le32(r, 20), c.compressed > 0xFFFFFFFE ? 0xFFFFFFFF : c.compressed);
    EXPECT_EQ(Le32(r, 24), c.uncompressed > 0xFFFFFFFE ? 0xFFFFFFFF : c.uncompressed);
    EXPECT_EQ(Le32(r, 42), c.offset > 0xFFFFFFFE ? 0xFFFFFFFF : c.offset);
    ASSERT_EQ(Le16(r, 30), 4 + 8 * c.extra.size());
    EXPECT_EQ(Le16(r, 49), 1);
    EXPECT_EQ(Le16(r, 51), 8 * c.extra.size());
    for (std::size_t i = 0; i < c.extra.size(); ++i) EXPECT_EQ(Le64(r, 53 + 8 * i), c.extra[i]);
  }
}

TEST(CentralRecordTest, ReservedLocalFieldRaisesVersionNeeded) {
  TPkHeader h = Header(100, 200, 0);
  h.Zip64Local = true;
  const std::string r = CentralRecord("n", h);
  EXPECT_EQ(Le16(r, 6), 45);
  EXPECT_EQ(Le16(r, 30), 0);  // nothing overflows here
}

TEST(EndRecordsTest, Zip64EndAndLocatorWhenAValueDoesNotFit) {
  struct Case {
    uint64_t count, offset, size;
  } cases[] = {{1, 0x100000000, 60}, {65535, 100, 5000000}, {70000, 0xFFFFFFFF, 0x100000000}};
  EXPECT_EQ(EndRecords(65534, 0xFFFFFFFE, 1).size(), 22u);  // the last values that fit
  for (const Case& c : cases) {
    const std::string r = EndRecords(c.count, c.offset, c.size);
    ASSERT_EQ(r.size(), 56u + 20 + 22);
    EXPECT_EQ(Le32(r, 0), 0x06064b50u);
    EXPECT_EQ(Le64(r, 4), 44u);
    EXPECT_EQ(Le16(r, 12), 45);
    EXPECT_EQ(Le16(r, 14), 45);
    EXPECT_EQ(Le64(r, 24), c.count);
    EXPECT_EQ(Le64(r, 32), c.count);
    EXPECT_EQ(Le64(r, 40), c.size);
    EXPECT_EQ(Le64(r, 48), c.offset);
    EXPECT_EQ(Le32(r, 56), 0x07064b50u);
    EXPECT_EQ(Le64(r, 64), c.offset + c.size);  // where the Zip64 end record starts
    EXPECT_EQ(Le32(r, 72), 1u);
    EXPECT_EQ(Le16(r, 76 + 8), c.count >= 0xFFFF ? 0xFFFF : c.count);
    EXPECT_EQ(Le32(r, 76 + 12), c.size > 0xFFFFFFFE ? 0xFFFFFFFF : c.size);
    EXPECT_EQ(Le32(r, 76 + 16), c.offset > 0xFFFFFFFE ? 0xFFFFFFFF : c.offset);
  }
}

}  // namespace
}  // namespace kel
