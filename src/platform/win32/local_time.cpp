#include "platform/local_time.h"

#include <windows.h>

namespace kel {

namespace {

// Seconds from 1601-01-01 (FILETIME's start) to 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns

}  // namespace

DosRange LocalDosTime(const struct timespec& utc, uint32_t& dos) {
  // FILETIME holds 1601 to 30828; SYSTEMTIME goes no further.
  if (utc.tv_sec < -kEpochDifference) return DosRange::kBefore;
  if (utc.tv_sec > (INT64_MAX / kTicksPerSecond) - kEpochDifference - 1) return DosRange::kAfter;
  const uint64_t ticks = static_cast<uint64_t>(utc.tv_sec + kEpochDifference) * kTicksPerSecond +
                         static_cast<uint64_t>(utc.tv_nsec / 100);
  FILETIME utc_time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc_parts{}, local_parts{};
  if (!FileTimeToSystemTime(&utc_time, &utc_parts)) return DosRange::kAfter;
  // The offset in force at that date, daylight saving included, as the zone's rule has it;
  // FileTimeToLocalFileTime would take today's offset for every date.
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc_parts, &local_parts))
    return utc_parts.wYear < 1980 ? DosRange::kBefore : DosRange::kAfter;
  // FileTimeToDosDateTime refuses years outside the format on Windows; Wine's lets 2108 wrap
  // round to 1980, so the range is checked here.
  if (local_parts.wYear < 1980) return DosRange::kBefore;
  if (local_parts.wYear > 2107) return DosRange::kAfter;
  FILETIME local_time{};
  WORD date = 0, time = 0;
  if (!SystemTimeToFileTime(&local_parts, &local_time) ||
      !FileTimeToDosDateTime(&local_time, &date, &time))
    return DosRange::kAfter;
  dos = static_cast<uint32_t>(date) << 16 | time;
  return DosRange::kInside;
}

}  // namespace kel
