#include "platform/dos_time.h"

#include "platform/local_time.h"

namespace kel {
namespace {

constexpr int kDosFirstYear = 1980;

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
  uint32_t local = 0;
  if (LocalDosTime(utc, local) != DosRange::kInside) return false;
  dos = local;
  return true;
}

uint32_t UnixTimeToLocalDosClamped(const struct timespec& utc) {
  uint32_t dos = 0;
  switch (LocalDosTime(utc, dos)) {
    case DosRange::kInside:
      return dos;
    case DosRange::kBefore:
      return kDosTimeMin;
    case DosRange::kAfter:
      break;
  }
  return kDosTimeMax;
}

}  // namespace kel
