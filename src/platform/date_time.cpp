#include "platform/date_time.h"

#include "platform/dos_time.h"

namespace kel {
namespace {

// Days from 1 January of year 1 to 30 December 1899, the day numbered 0.
constexpr int kDaysBeforeEpoch = 693594;
constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       int millisecond, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59 || millisecond < 0 || millisecond > 999)
    return false;
  int day_of_year = day;
  for (int m = 1; m < month; ++m) day_of_year += DaysInMonth(year, m);
  const int y = year - 1;
  const int date = y * 365 + y / 4 - y / 100 + y / 400 + day_of_year - kDaysBeforeEpoch;
  const double time =
      (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / kMillisecondsPerDay;
  // Before day 0 the fraction still counts forward from midnight: -1.25 is 29 December, 6:00.
  value = date < 0 ? date - time : date + time;
  return true;
}

bool DosDateTimeToDateTime(uint32_t dos, TDateTime& value) {
  const DosDateTimeParts p = DecodeDosDateTime(dos);
  return TryEncodeDateTime(p.year, p.month, p.day, p.hour, p.minute, p.second, 0, value);
}

}  // namespace kel
