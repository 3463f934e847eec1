// The Windows backend's one translation of GetLastError() values into the message table's
// numbers: the same number the POSIX backend gives for the same condition (a full disk is 101,
// "it exists" 80), so that messages and tests agree on both systems.
#pragma once

#include <windows.h>

namespace kel::win32 {

// ERROR_FILE_NOT_FOUND 2; ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME, ERROR_DIRECTORY and too long
// names 3; ERROR_TOO_MANY_OPEN_FILES 4; ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT and
// ERROR_PRIVILEGE_NOT_HELD 5; ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL and
// ERROR_DISK_QUOTA_EXCEEDED 101; ERROR_FILE_EXISTS and ERROR_ALREADY_EXISTS 80; the conditions a
// user can act on with a reason of their own (ReasonText): a drive not ready 21, sharing and
// lock violations 32 and 33, a share not found 53, a share gone 59, ERROR_FILE_TOO_LARGE 223.
// Codes without a counterpart pass through ("I/O エラー (n)"), except those that happen to equal
// a number with a text of its own.
int ErrorNumberFromWin32(DWORD error) noexcept;

// The same for the calling thread's last error.
inline int LastErrorNumber() noexcept { return ErrorNumberFromWin32(GetLastError()); }

}  // namespace kel::win32
