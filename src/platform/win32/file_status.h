// The Windows backend's one translation of what the system says of a file into a FileStatus,
// shared by the file, status, identity and lookup code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "platform/file_info.h"
#include "platform/win32/scoped_handle.h"

namespace kel::win32 {

// The attribute bits the program reports (read-only, hidden, system, directory, archive).
constexpr DWORD kReportedAttributes = 0x37;

// A FILETIME (100 ns since 1601, UTC) as a POSIX time.
struct timespec TimespecFromFileTime(const FILETIME& time);
struct timespec TimespecFromTicks(int64_t ticks);

// Opens `path` for reading its status only (no share mode can refuse that): links followed, or
// the entry itself with `follow_links` false. An invalid handle on failure, GetLastError() set.
ScopedHandle OpenForStatus(const std::wstring& path, bool follow_links);

// The status of the open file `handle`; nothing, with `error_number` set, when the system cannot
// say. unix_mode is made from the attributes (0100644, or 0100444 when read-only): Windows has
// none.
std::optional<FileStatus> StatusOfHandle(HANDLE handle, int& error_number);

}  // namespace kel::win32
