#include <cerrno>

#include "platform/exceptions.h"

namespace kel {

int ErrorNumberFromErrno(int err) noexcept {
  return ErrorNumberFromErrno(err, ErrnoSource::kOperation);
}

// The numbers are the Windows error codes the message table was written for, so that a user
// sees the same texts; errno values without a clear counterpart are passed through.
int ErrorNumberFromErrno(int err, ErrnoSource source) noexcept {
  switch (err) {
    case ENOENT:
      return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return 3;
    case EINVAL:
      return source == ErrnoSource::kPathName ? 3 : 87;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return 5;
    case EBADF:
      return 6;
    case ENOMEM:
      return 8;
    case EXDEV:
      return 17;
    case EBUSY:
    case ETXTBSY:
      return 32;
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNRESET:
    case ESTALE:
      return 59;
    case EEXIST:
      return 80;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return 101;
    case EPIPE:
      return 109;
    case ESPIPE:
      return 132;
    case ENOTEMPTY:
      return 145;
    case EIO:
      return 1117;
    default:
      // A raw errno that happens to be a number with a text or a reason of its own (ESRCH is 3,
      // EINTR 4, EISCONN 106, EDOM 33) would show a wrong message; those get the generic failure
      // number instead.
      switch (err) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 21:
        case 33:
        case 53:
        case 59:
        case 100:
        case 101:
        case 106:
          return 31;
        default:
          return err;
      }
  }
}

void RaiseLastOSError(int err) { throw EInOutError(ErrorNumberFromErrno(err)); }

}  // namespace kel
