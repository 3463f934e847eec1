#include "zip/crc32_fast.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/temp_dir.h"

namespace kel {
namespace {

// Every length around the folding steps (64-byte blocks, 16-byte tail, byte remainder), at
// every alignment, from zero and from a running value, agrees with zlib.
TEST(Crc32FastTest, AgreesWithZlibForEveryLengthAndAlignment) {
  const std::string bytes = test::MakeBytes(4096, 7, false);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t length = 0; length <= 600; ++length) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (uint32_t seed : {0u, 0xDEADBEEFu}) {
        ASSERT_EQ(Crc32Update(seed, p + offset, length), crc32_z(seed, p + offset, length))
            << "length " << length << ", offset " << offset << ", seed " << seed;
      }
    }
  }
}

TEST(Crc32FastTest, RunningValueOverBlocksEqualsTheWhole) {
  const std::string bytes = test::MakeBytes(1 << 20, 8, true);
  uint32_t running = 0;
  for (std::size_t at = 0; at < bytes.size(); at += 16384) {
    running = Crc32Update(running, bytes.data() + at, 16384);
  }
  EXPECT_EQ(running, crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
  EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);  // the published check value
}

}  // namespace
}  // namespace kel
