#include "platform/dos_time.h"

namespace kel {
namespace {

constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

// Local broken-down time of `utc`; false when the system cannot compute it.
bool LocalTime(const struct timespec& utc, struct tm& local) {
  const time_t seconds = utc.tv_sec;  // the format keeps whole seconds; odd ones round down
  return localtime_r(&seconds, &local) != nullptr;
}

}  // namespace

uint32_t EncodeDosDateTime(const DosDateTimeParts& p) {
  return (static_cast<uint32_t>(p.year - kDosFirstYear) << 25) |
         (static_cast<uint32_t>(p.month) << 21) | (static_cast<uint32_t>(p.day) << 16) |
         (static_cast<uint32_t>(p.hour) << 11) | (static_cast<uint32_t>(p.minute) << 5) |
         static_cast<uint32_t>(p.second / 2);
}

DosDateTimeParts DecodeDosDateTime(uint32_t dos) {
  return DosDateTimeParts{
      .year = kDosFirstYear + static_cast<int>(dos >> 25),
      .month = static_cast<int>((dos >> 21) & 15),
      .day = static_cast<int>((dos >> 16) & 31),
      .hour = static_cast<int>((dos >> 11) & 31),
      .minute = static_cast<int>((dos >> 5) & 63),
      .second = static_cast<int>(dos & 31) * 2,
  };
}

bool UnixTimeToLocalDos(const struct timespec& utc, uint32_t& dos) {
  struct tm local {};
  if (!LocalTime(utc, local)) return false;
  const int year = local.tm_year + 1900;
  if (year < kDosFirstYear || year > kDosLastYear) return false;
  // A leap second (60) has no place in the format.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  dos = EncodeDosDateTime(
      {year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second});
  return true;
}

uint32_t UnixTimeToLocalDosClamped(const struct timespec& utc) {
  uint32_t dos = 0;
  if (UnixTimeToLocalDos(utc, dos)) return dos;
  struct tm local {};
  if (LocalTime(utc, local))
    return local.tm_year + 1900 < kDosFirstYear ? kDosTimeMin : kDosTimeMax;
  // Too far from now for the system to compute: the sign tells the side.
  return utc.tv_sec < 0 ? kDosTimeMin : kDosTimeMax;
}

}  // namespace kel
