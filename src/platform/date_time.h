// Date-time values: days since 30 December 1899 in the integral part, the fraction of the day
// in the fractional part.
#pragma once

#include <cstdint>

namespace kel {

using TDateTime = double;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// False when a part is out of range (month 1-12, day within the month, hour <= 23,
// minute <= 59, second <= 59).
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       int millisecond, TDateTime& value);

// An MS-DOS date/time value decoded and validated; false (value untouched) when invalid.
bool DosDateTimeToDateTime(uint32_t dos, TDateTime& value);

}  // namespace kel
