// MS-DOS times through the Windows time zone API: the offset in force at the file's own date,
// daylight saving included, and the 1980-2107 clamp. Run once in Tokyo and once in Berlin
// (CTest sets TZ; Wine takes the zone from it).
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/dos_time.h"

namespace kel {
namespace {

struct Zone {
  const char* name;
  int january_hours;  // offset from UTC in mid-January
  int july_hours;     // and in mid-July
};

constexpr Zone kZones[] = {{"Asia/Tokyo", 9, 9}, {"Europe/Berlin", 1, 2}};

constexpr time_t kJanuary15Noon = 1705320000;  // 2024-01-15 12:00:00 UTC
constexpr time_t kJuly15Noon = 1721044800;     // 2024-07-15 12:00:00 UTC
constexpr time_t k1980 = 315532800;            // 1980-01-01 00:00:00 UTC
constexpr time_t k2108 = 4354819200;           // 2108-01-01 00:00:00 UTC

const Zone* CurrentZone() {
  const char* tz = std::getenv("TZ");
  for (const Zone& zone : kZones)
    if (tz != nullptr && std::string(tz) == zone.name) return &zone;
  return nullptr;
}

timespec At(time_t seconds) { return timespec{seconds, 999999999}; }

TEST(Win32LocalTime, OffsetOfTheFilesOwnDate) {
  const Zone* zone = CurrentZone();
  if (zone == nullptr) GTEST_SKIP() << "TZ is none of the zones this test knows";
  uint32_t dos = 0;
  ASSERT_TRUE(UnixTimeToLocalDos(At(kJanuary15Noon), dos));
  EXPECT_EQ(DecodeDosDateTime(dos).hour, 12 + zone->january_hours);
  ASSERT_TRUE(UnixTimeToLocalDos(At(kJuly15Noon + 1), dos));
  const DosDateTimeParts july = DecodeDosDateTime(dos);
  EXPECT_EQ(july.hour, 12 + zone->july_hours);
  EXPECT_EQ(july.second, 0);  // 1.999 s rounds down to the 2-second step below
  EXPECT_EQ(july.month, 7);
  EXPECT_EQ(july.day, 15);
}

TEST(Win32LocalTime, RangeEdgesInLocalTimeAndClamping) {
  const Zone* zone = CurrentZone();
  if (zone == nullptr) GTEST_SKIP() << "TZ is none of the zones this test knows";
  const time_t first = k1980 - zone->january_hours * 3600;  // 1980-01-01 00:00 local
  const time_t after_last = k2108 - zone->january_hours * 3600;
  uint32_t dos = 12345;
  EXPECT_TRUE(UnixTimeToLocalDos(At(first), dos));
  EXPECT_EQ(dos, kDosTimeMin);
  EXPECT_TRUE(UnixTimeToLocalDos(At(after_last - 1), dos));
  EXPECT_EQ(dos, kDosTimeMax);
  dos = 12345;
  EXPECT_FALSE(UnixTimeToLocalDos(At(first - 1), dos));
  EXPECT_FALSE(UnixTimeToLocalDos(At(after_last), dos));
  EXPECT_EQ(dos, 12345u);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(first - 1)), kDosTimeMin);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(after_last)), kDosTimeMax);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(LLONG_MIN)), kDosTimeMin);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(LLONG_MAX)), kDosTimeMax);
  EXPECT_EQ(UnixTimeToLocalDosClamped(At(-20000000000)), kDosTimeMin);  // before 1601
}

}  // namespace
}  // namespace kel
