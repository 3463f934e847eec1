// MS-DOS date/time values: time in the low 16 bits (seconds/2, minutes, hours), date in the high
// 16 bits (day, month, years since 1980), local time. The format covers 1980-01-01 00:00:00 to
// 2107-12-31 23:59:58.
#pragma once

#include <cstdint>
#include <ctime>

namespace kel {

constexpr uint32_t kDosTimeMin = (0u << 25) | (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
constexpr uint32_t kDosTimeMax = (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) |
                                 (59u << 5) | 29u;  // 2107-12-31 23:59:58

struct DosDateTimeParts {
  int year, month, day, hour, minute, second;
};

// UTC time -> local MS-DOS value; false (value untouched) outside the MS-DOS range or when the
// local time cannot be computed.
bool UnixTimeToLocalDos(const struct timespec& utc, uint32_t& dos);

// The same, clamped to the range: earlier times give kDosTimeMin, later ones kDosTimeMax.
uint32_t UnixTimeToLocalDosClamped(const struct timespec& utc);

// Builds a value from its parts (no validation; seconds are halved).
uint32_t EncodeDosDateTime(const DosDateTimeParts& parts);
// Splits a value into its parts (no validation).
DosDateTimeParts DecodeDosDateTime(uint32_t dos);

}  // namespace kel
