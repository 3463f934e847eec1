// The system's local time of an instant, as an MS-DOS date/time value: the one place where the
// time zone is consulted (posix/local_time.cpp: localtime_r; win32/local_time.cpp:
// SystemTimeToTzSpecificLocalTime and FileTimeToDosDateTime). Only dos_time.cpp uses it.
#pragma once

#include <cstdint>
#include <ctime>

namespace kel {

enum class DosRange {
  kInside,  // `dos` holds the local time of the instant (whole seconds, odd ones rounded down)
  kBefore,  // the local time is before 1980 (or too far back for the system)
  kAfter,   // the local time is after 2107 (or too far ahead for the system)
};

// The local MS-DOS value of `utc` with the zone's offset in force at that instant (not today's);
// `dos` is set only for kInside.
DosRange LocalDosTime(const struct timespec& utc, uint32_t& dos);

}  // namespace kel
