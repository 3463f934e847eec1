// The problems the check of a delivery (kelvarin-batch --check) reports: each a kind with its
// details, shown as one line in the user's language, and counted by kind in the summary.
#pragma once

#include <cstdint>
#include <string>

#include "zip/archive_reader.h"

namespace kel {

enum class CheckProblem {
  // files.txt
  kIndexByteOrderMark,  // the file starts with a UTF-8 byte-order mark
  kIndexLfLineEnd,      // a line ends in LF alone (reported once, at the first)
  kIndexNoLineEnd,      // the last line has no line end
  kIndexEmptyLine,
  kIndexLongLine,  // more than 1,024 bytes
  kIndexNoTab,
  kIndexBadArchiveName,  // `text`: the name as the line has it
  kIndexDuplicate,       // `text`: the name; `number`: the line that lists it first
  // the archives against the index
  kArchiveMissing,
  kArchiveCaseDiffers,  // a warning; `text`: the name on disk
  kArchiveStray,        // `text`: the name on disk
  kArchiveLink,         // a symbolic link stands at the archive's name
  kArchiveNotFile,      // a FIFO, device, socket or folder stands there
  kArchiveUnreadable,   // `text`: the reason
  kLeftoverTemporary,   // subject: the name
  // each archive
  kArchiveDamaged,  // `finding` says what
  kEntryBaseName,   // `text`: the entry's name
  kEntryExtension,  // `text`: the entry's name
  // against SOURCE
  kFileWithoutArchive,  // subject: the file's name
  kArchiveWithoutFile,  // `text`: the entry's name
  kFileInTwoArchives,   // `text`: the file's name; `other`: the first archive
  kFileDiffers,         // `text`: the file's name; `number`: the offset of the first difference
  kFileSize,            // `text`: the file's name; `number`: its size; `other_number`: the entry's
  kFileUnreadable,      // `text`: the file's name; `other`: the reason
  kFileTime,            // a warning; `text`: the file's name; `number`: seconds apart
  // short names
  kNotShortName,  // `text`: the name
  kNotIso9660,    // a warning; `text`: the name
};

// One problem: where it is (an archive's listing name, "files.txt" and a line number, a file)
// and what.
struct Problem {
  CheckProblem kind = CheckProblem::kArchiveDamaged;
  std::string subject;  // what the line names first: "0003DOCX.ZIP", "files.txt", a file
  int line = 0;         // the line of files.txt, or 0
  std::string text;
  std::string other;
  uint64_t number = 0;
  uint64_t other_number = 0;
  ArchiveFinding finding;  // kArchiveDamaged
};

// A warning leaves the exit status at 0.
bool IsWarning(const Problem& problem);

// The problem's line (without its line end) in this run's language, control characters in
// names escaped.
std::string ProblemLine(const Problem& problem);

// What the summary counts the problem under, in this run's language ("damaged archives").
std::string SummaryLabel(const Problem& problem);

}  // namespace kel
