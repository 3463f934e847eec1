#include "search/search_file_data.h"

#include <optional>

#include "platform/dos_time.h"
#include "platform/file_info.h"

namespace kel {

bool FileTimeToDateTime(const struct timespec& file_time, TDateTime& value) {
  // Passing through the MS-DOS form keeps the values identical to those stored in the archives
  // (2-second steps, 1980-2107) and rejects times that form cannot hold.
  uint32_t dos = 0;
  if (!UnixTimeToLocalDos(file_time, dos)) return false;
  return DosDateTimeToDateTime(dos, value);
}

namespace {

bool ConvertTime(const std::optional<struct timespec>& file_time, TDateTime& value) {
  return file_time.has_value() && FileTimeToDateTime(*file_time, value);
}

}  // namespace

TSearchFileData FillSearchFileData(const FindRecord& record) {
  TSearchFileData data;
  data.FileName = record.long_name;
  data.ExactName = record.exact_name;
  data.ShortName = record.alternate_name.empty() ? record.long_name : record.alternate_name;
  data.Size =
      static_cast<int64_t>((static_cast<uint64_t>(record.size_high) << 32) | record.size_low);
  data.LastWriteTimeValid = ConvertTime(record.last_write_time, data.LastWriteTime);
  // A file's three times often fall in the same second, which converts to the same value: the
  // local-time conversion is the dearest part of a record.
  const auto same_second_as_write = [&record](const std::optional<struct timespec>& t) {
    return t && record.last_write_time && t->tv_sec == record.last_write_time->tv_sec;
  };
  if (same_second_as_write(record.creation_time)) {
    data.CreationTimeValid = data.LastWriteTimeValid;
    data.CreationTime = data.LastWriteTime;
  } else {
    data.CreationTimeValid = ConvertTime(record.creation_time, data.CreationTime);
  }
  if (same_second_as_write(record.last_access_time)) {
    data.LastAccessTimeValid = data.LastWriteTimeValid;
    data.LastAccessTime = data.LastWriteTime;
  } else {
    data.LastAccessTimeValid = ConvertTime(record.last_access_time, data.LastAccessTime);
  }
  const uint32_t attributes = record.attributes;
  data.IsDirectory = (attributes & kAttrDirectory) != 0;
  data.IsRegular = record.is_regular;
  data.IsReadOnly = (attributes & kAttrReadOnly) != 0;
  data.IsHidden = (attributes & kAttrHidden) != 0;
  data.IsSystem = (attributes & kAttrSystem) != 0;
  data.IsVolumeId = false;
  data.IsArchive = (attributes & kAttrArchive) != 0;
  return data;
}

bool IsSubDirectory(const FindRecord& record) {
  return (record.attributes & kAttrDirectory) != 0 && record.long_name != "." &&
         record.long_name != "..";
}

}  // namespace kel
