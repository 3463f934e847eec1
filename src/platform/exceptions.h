// The exception classes of the program. Every failure is one of these; the message is the text
// the user sees (the error display adds the closing period).
#pragma once

#include <exception>
#include <string>

namespace kel {

// Why an operation failed, where the system or the program knows more than the message says.
// It travels beside the message, never inside it: the message texts stay exactly the system's
// own, and each front end shows the reason after them (ReasonText).
struct Reason {
  enum Kind {
    kNone,              // nothing more is known
    kErrorNumber,       // the system's error, as the message-table number `error_number`
    kChangedWhileRead,  // the source changed (size, time or content) while it was being read
    kNotRegularFile,    // the source is no longer a regular file (a folder, FIFO, device)
  };
  Kind kind = kNone;
  int error_number = 0;

  static Reason FromErrorNumber(int number) { return {kErrorNumber, number}; }
  bool operator==(const Reason&) const = default;
};

// The reason in the system's language: the message table's text for an error number, or the
// program's own sentence; for the numbers whose table text is only "I/O エラー (n)" and that a
// user can do something about (21 drive not ready, 32 and 33 a file another program holds, 53
// network folder not found, 59 network connection lost, 223 file too large for the drive),
// that sentence. Empty for kNone.
std::string ReasonText(const Reason& reason);

// Base of every exception the program raises on purpose.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  Exception(std::string message, Reason reason) : message_(std::move(message)), reason_(reason) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  // The class name, as the start-up error display shows it.
  virtual const char* ClassName() const noexcept { return "Exception"; }

  const Reason& GetReason() const noexcept { return reason_; }
  void SetReason(const Reason& reason) noexcept { reason_ = reason; }

 private:
  std::string message_;
  Reason reason_;
};

// The file layer's input/output error: a message and the error number of the failed operation.
class EInOutError : public Exception {
 public:
  // Message taken from the message table for `error_code`.
  explicit EInOutError(int error_code);
  EInOutError(std::string message, int error_code)
      : Exception(std::move(message)), ErrorCode(error_code) {}
  const char* ClassName() const noexcept override { return "EInOutError"; }

  // 2, 3, 4, 5, 100, 101 and 106 have texts of their own; any other number gives
  // "I/O エラー (n)".
  static std::string MessageFor(int error_code);

  int ErrorCode = 0;
};

// The silent abort: the error display shows nothing for it, the file search turns it into a
// False result.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  const char* ClassName() const noexcept override { return "EAbort"; }
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EStreamError"; }
};

// "ファイル %s を作成できません": a stream's file could not be created.
class EFCreateError : public EStreamError {
 public:
  explicit EFCreateError(const std::string& path);
  const char* ClassName() const noexcept override { return "EFCreateError"; }
};

// "ストリームへの書き込みエラー": writing to a stream failed part-way.
class EWriteError : public EStreamError {
 public:
  EWriteError();
  const char* ClassName() const noexcept override { return "EWriteError"; }
};

// "タイマーを取得できません" and the like: the platform refused a resource.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EOutOfResources"; }
};

// POSIX only (posix/errno_error.cpp; the Windows backend has its own translation of
// GetLastError in win32/win32_error.h):
// the error number of the message table that stands for the POSIX `errno` value `err`
// (ENOENT 2, ENOTDIR/ENAMETOOLONG 3, EMFILE/ENFILE 4, EACCES/EPERM/EROFS/EISDIR 5,
// ENOSPC/EDQUOT/EFBIG 101, ...). The one place where errno values are translated.
int ErrorNumberFromErrno(int err) noexcept;

// What the failed call was doing: some errno values mean a bad file name only when the call
// took a path (EINVAL from open() is a name the file system rejects, 3; elsewhere it is a bad
// argument, 87).
enum class ErrnoSource { kOperation, kPathName };
int ErrorNumberFromErrno(int err, ErrnoSource source) noexcept;

// Raises EInOutError for the POSIX `errno` value `err`.
[[noreturn]] void RaiseLastOSError(int err);

}  // namespace kel
