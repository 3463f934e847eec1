#include "platform/win32/win32_error.h"

namespace kel::win32 {

int ErrorNumberFromWin32(DWORD error) noexcept {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return 2;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_CANT_RESOLVE_FILENAME:  // a cycle of links, as POSIX's ELOOP
      return 3;
    case ERROR_TOO_MANY_OPEN_FILES:
      return 4;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANNOT_MAKE:
      return 5;
    case ERROR_INVALID_HANDLE:
      return 6;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return 8;
    case ERROR_NOT_SAME_DEVICE:
      return 17;
    // A drive whose medium was taken out.
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
      return 21;
    // Another program holds the file: a share mode that refuses ours, or a locked range.
    case ERROR_SHARING_VIOLATION:
      return 32;
    case ERROR_LOCK_VIOLATION:
      return 33;
    // A share that is not there (a mistyped or removed \\server\share).
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return 53;
    // A share that went away while in use.
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NETWORK_UNREACHABLE:
      return 59;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return 80;
    case ERROR_INVALID_PARAMETER:
      return 87;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295:  // ERROR_DISK_QUOTA_EXCEEDED (not in mingw-w64's headers)
      return 101;
    // Not a full disk: the file system holds no file this large (FAT32, 4 GiB).
    case ERROR_FILE_TOO_LARGE:
      return 223;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return 109;
    case ERROR_DIR_NOT_EMPTY:
      return 145;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
      return 1117;
    // Windows' own numbers that equal a number of the table with another meaning would borrow
    // its text; they get the generic failure number instead, as on POSIX.
    case 100:  // ERROR_TOO_MANY_SEMAPHORES
    case 101:  // ERROR_EXCL_SEM_ALREADY_OWNED
    case 106:  // ERROR_SEM_USER_LIMIT
      return 31;
    default:
      return static_cast<int>(error);
  }
}

}  // namespace kel::win32
