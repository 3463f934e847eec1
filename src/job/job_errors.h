// The batch job's own failures. Each stops a run before anything is written.
#pragma once

#include <string>

#include "platform/exceptions.h"

namespace kel {

// Two collected files would get the same archive path: past 10,000 files the sequence field
// repeats. Raised at the end of collection; the timer is not armed.
class ENameClash : public Exception {
 public:
  ENameClash(const std::string& first_file, const std::string& second_file,
             const std::string& archive_path);
  const char* ClassName() const noexcept override { return "ENameClash"; }
};

// A collected file is the very file that an archive or "files.txt" would be written to (the
// output folder is the source folder, or reaches it through a link). Raised by the pass before
// the index is saved.
class ESourceOverwrite : public Exception {
 public:
  ESourceOverwrite(const std::string& source_file, const std::string& target_path);
  const char* ClassName() const noexcept override { return "ESourceOverwrite"; }
};

// A folder field that names no folder: it does not exist, it is a file, or it is empty; or the
// source folder (or a folder below it) cannot be listed, with the system's reason beside.
// Raised by the start action before anything is written.
class EFolderError : public Exception {
 public:
  enum class Kind { kNotFound, kNotAFolder, kNoSourceFolder, kNoOutputFolder, kUnlistable };
  EFolderError(Kind kind, const std::string& folder, Reason reason = {});
  const char* ClassName() const noexcept override { return "EFolderError"; }
};

// Another run (this program's window or kelvarin-batch, in this process or another) is writing
// into the output folder. Raised by the start action; nothing is written.
class EFolderBusy : public Exception {
 public:
  explicit EFolderBusy(const std::string& folder);
  const char* ClassName() const noexcept override { return "EFolderBusy"; }
};

// A file name holds a control character (below 0x20, or 0x7F; in UTF-8 names also U+0080-U+009F,
// U+2028 and U+2029): CR, LF and TAB would forge lines of "files.txt", the others do so for
// Unicode-aware readers, and none belongs in an archive's entry name. Raised during collection,
// with the name's control characters shown escaped; nothing is written.
class EBadFileName : public Exception {
 public:
  explicit EBadFileName(const std::string& source_file);
  const char* ClassName() const noexcept override { return "EBadFileName"; }
};

// A file name holds a character that names no file on the recipient's system: "\", which
// Windows and its Zip tools read as a folder separator, or, on Windows, one of : * ? " < > |
// (only another system can make such a name). Raised during collection with the file and the
// character; nothing is written.
class EBadNameCharacter : public Exception {
 public:
  EBadNameCharacter(const std::string& source_file, const std::string& character);
  const char* ClassName() const noexcept override { return "EBadNameCharacter"; }
};

// A collected file's name has no exact form in the code page of the run's names (on Windows the
// ANSI code page: a Korean name on Japanese Windows), so neither the index nor the archive could
// name it. Raised during collection, before anything is written; the file is named with the
// characters it lacks as "<U+XXXX>".
class ENameNotInCodePage : public Exception {
 public:
  explicit ENameNotInCodePage(const std::string& source_file);
  const char* ClassName() const noexcept override { return "ENameNotInCodePage"; }
};

// The start action was pressed while a pass is archiving the collected files.
class EJobBusy : public Exception {
 public:
  EJobBusy();
  const char* ClassName() const noexcept override { return "EJobBusy"; }
};

}  // namespace kel
