#include "platform/local_time.h"

#include "platform/dos_time.h"

namespace kel {

DosRange LocalDosTime(const struct timespec& utc, uint32_t& dos) {
  const time_t seconds = utc.tv_sec;  // the format keeps whole seconds; odd ones round down
  struct tm local {};
  // Too far from now for the system to compute: the sign tells the side.
  if (localtime_r(&seconds, &local) == nullptr)
    return utc.tv_sec < 0 ? DosRange::kBefore : DosRange::kAfter;
  const int year = local.tm_year + 1900;
  if (year < 1980) return DosRange::kBefore;
  if (year > 2107) return DosRange::kAfter;
  // A leap second (60) has no place in the format.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  dos = EncodeDosDateTime(
      {year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second});
  return DosRange::kInside;
}

}  // namespace kel
