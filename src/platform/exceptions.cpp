#include "platform/exceptions.h"

#include <cerrno>
#include <cstdio>

namespace kel {

std::string EInOutError::MessageFor(int error_code) {
  switch (error_code) {
    case 2:
      return "ファイルが見つかりません";
    case 3:
      return "不正なファイル名です";
    case 4:
      return "オープンしたファイルが多すぎます";
    case 5:
      return "ファイルへのアクセスが拒否されました";
    case 100:
      return "ファイルの末尾以降を読み込みました";
    case 101:
      return "ディスクがいっぱいです";
    case 106:
      return "入力値が数値ではありません";
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "I/O エラー (%d)", error_code);
      return text;
    }
  }
}

std::string ReasonText(const Reason& reason) {
  switch (reason.kind) {
    case Reason::kNone:
      return "";
    case Reason::kErrorNumber:
      return EInOutError::MessageFor(reason.error_number);
    case Reason::kChangedWhileRead:
      // "The file changed while it was being read."
      return "読み込み中にファイルが変更されました";
    case Reason::kNotRegularFile:
      // "It is not a regular file."
      return "通常のファイルではありません";
  }
  return "";
}

EInOutError::EInOutError(int error_code)
    : Exception(MessageFor(error_code)), ErrorCode(error_code) {}

EFCreateError::EFCreateError(const std::string& path)
    : EStreamError("ファイル " + path + " を作成できません") {}

EWriteError::EWriteError() : EStreamError("ストリームへの書き込みエラー") {}

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
      // A raw errno that happens to be a number with a text of its own (ESRCH is 3, EINTR 4,
      // EISCONN 106) would show a wrong message; those get the generic failure number instead.
      switch (err) {
        case 2:
        case 3:
        case 4:
        case 5:
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
