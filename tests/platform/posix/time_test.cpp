#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/date_time.h"
#include "platform/dos_time.h"

namespace kel {
namespace {

// Runs each test in a fixed time zone and restores the previous one afterwards.
class DosTimeTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) old_tz_ = tz;
    UseZone("UTC");
  }
  void TearDown() override {
    if (old_tz_)
      setenv("TZ", old_tz_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  static void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  static timespec At(time_t seconds) { return timespec{seconds, 999999999}; }

  std::optional<std::string> old_tz_;
};

constexpr time_t k1980 = 315532800;            // 1980-01-01 00:00:00 UTC
constexpr time_t kLastDosSecond = 4354819199;  // 2107-12-31 23:59:59 UTC

TEST_F(DosTimeTest, RangeEdgesAndClamping) {
  uint32_t dos = 12345;
  EXPECT_TRUE(UnixTimeToLocalDos(At(k1980), dos));
  EXPECT_EQ(dos, kDosTimeMin);
  EXPECT_TRUE(UnixTimeToLocalDos(At(kLastDosSecond), dos));
  EXPECT_EQ(dos, kDosTimeMax);  // 59 s rounds down to 58

  dos = 12345;
  EXPECT_FALSE(UnixTimeToLocalDos(At(k1980 - 1), dos));
  EXPECT_FALSE(UnixTimeToLocalDos(At(kLastDosSecond + 1), dos));
  EXPECT_EQ(dos, 12345u);

  EXPECT_EQ(UnixTimeToLocalDosClamped(At(k1980 - 1)), kDosTimeMin);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(kLastDosSecond + 1)), kDosTimeMax);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(LLONG_MIN)), kDosTimeMin);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(LLONG_MAX)), kDosTimeMax);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(1709210097)),  // 2024-02-29 12:34:57
            (44u << 25) | (2u << 21) | (29u << 16) | (12u << 11) | (34u << 5) | 28u);
}

TEST_F(DosTimeTest, UsesLocalTime) {
  UseZone("JST-9");
  uint32_t dos = 0;
  // 1979-12-31 15:00 UTC is already 1980 in Tokyo.
  EXPECT_TRUE(UnixTimeToLocalDos(At(k1980 - 9 * 3600), dos));
  EXPECT_EQ(dos, kDosTimeMin);
  EXPECT_FALSE(UnixTimeToLocalDos(At(k1980 - 9 * 3600 - 1), dos));
}

TEST(DateTimeTest, KnownDates) {
  TDateTime v = -1;
  ASSERT_TRUE(TryEncodeDateTime(1899, 12, 30, 0, 0, 0, 0, v));
  EXPECT_EQ(v, 0.0);
  ASSERT_TRUE(TryEncodeDateTime(2000, 1, 1, 12, 0, 0, 0, v));
  EXPECT_DOUBLE_EQ(v, 36526.5);
  ASSERT_TRUE(TryEncodeDateTime(1899, 12, 29, 6, 0, 0, 0, v));
  EXPECT_DOUBLE_EQ(v, -1.25);
  ASSERT_TRUE(DosDateTimeToDateTime(kDosTimeMin, v));
  EXPECT_EQ(v, 29221.0);
  ASSERT_TRUE(DosDateTimeToDateTime(kDosTimeMax, v));
  EXPECT_DOUBLE_EQ(v, 75971 + (23 * 3600 + 59 * 60 + 58) / 86400.0);
}

TEST(DateTimeTest, RejectsInvalidParts) {
  TDateTime v = 7;
  EXPECT_FALSE(TryEncodeDateTime(1900, 2, 29, 0, 0, 0, 0, v));
  EXPECT_TRUE(TryEncodeDateTime(2000, 2, 29, 0, 0, 0, 0, v));
  EXPECT_FALSE(TryEncodeDateTime(2024, 4, 31, 0, 0, 0, 0, v));
  v = 7;
  EXPECT_FALSE(DosDateTimeToDateTime(0, v));                         // month 0, day 0
  EXPECT_FALSE(DosDateTimeToDateTime(kDosTimeMin | (60u << 5), v));  // minute 60
  EXPECT_FALSE(DosDateTimeToDateTime(kDosTimeMin | 30u, v));         // second 60
  EXPECT_FALSE(DosDateTimeToDateTime(EncodeDosDateTime({2023, 2, 29, 0, 0, 0}), v));
  EXPECT_EQ(v, 7.0);
}

}  // namespace
}  // namespace kel
