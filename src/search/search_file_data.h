// The record that describes one found file or folder, and the conversions that fill it from the
// platform's find record.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/date_time.h"
#include "platform/directory_lookup.h"

namespace kel {

// A value record: both strings are owned by it and copied with it. A time field means something
// only while its flag is True; otherwise its value is undefined.
struct TSearchFileData {
  std::string FileName;  // the entry's own name, no path
  // False when FileName is only a description of the name: it has no exact form in the
  // program's code page (see FindRecord::exact_name), so the file cannot be opened by it.
  bool ExactName = true;
  std::string ShortName;  // the alternate name, or FileName where there is none (always on Linux)
  int64_t Size = 0;
  bool CreationTimeValid = false;
  TDateTime CreationTime = 0;
  bool LastWriteTimeValid = false;
  TDateTime LastWriteTime = 0;
  bool LastAccessTimeValid = false;
  TDateTime LastAccessTime = 0;
  bool IsDirectory = false;  // attribute 0x10
  // A regular file (links followed) when the entry was listed; false for a folder, FIFO,
  // socket, device or dangling link. A record made by hand describes a plain file.
  bool IsRegular = true;
  bool IsReadOnly = false;   // attribute 0x01
  bool IsHidden = false;     // attribute 0x02
  bool IsSystem = false;     // attribute 0x04
  bool IsVolumeId = false;   // never set
  bool IsArchive = false;    // attribute 0x20
};

// Converts a file time (UTC) to a local date-time value with a 2-second resolution. Returns
// false and leaves `value` untouched when the local time falls outside 1980-2107 (the MS-DOS
// range the values pass through) or cannot be computed. Never throws.
bool FileTimeToDateTime(const struct timespec& file_time, TDateTime& value);

// Every field of a record from a find record. A time that is missing from the find record or
// cannot be converted only clears its own flag (its field stays 0). Never throws beyond
// std::bad_alloc.
TSearchFileData FillSearchFileData(const FindRecord& record);

// True for a directory entry other than "." and "..".
bool IsSubDirectory(const FindRecord& record);

}  // namespace kel
