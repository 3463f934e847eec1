// What a delivery's files.txt and file names must look like: the index parsed line by line
// with its faults, the archive-name pattern, and the short-name rules recipients rely on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/check_problems.h"

namespace kel {

// One usable line of files.txt, its names in the program's text.
struct IndexEntry {
  int line = 0;          // from 1
  std::string listing;   // the archive name as listed (0003DOCX.ZIP)
  std::string base;      // the base name after the TAB
  std::string raw_base;  // the base name's bytes as files.txt holds them
};

struct ParsedIndex {
  std::vector<IndexEntry> entries;  // in line order; lines with faults are left out
  std::vector<Problem> problems;    // in line order, subject "files.txt"
};

// The index `bytes` of files.txt: CR LF lines of "ARCHIVE-NAME TAB base name", no byte-order
// mark, no empty line and none over 1,024 bytes, archive names in upper case of the pattern
// (IsArchiveName) and none twice. `to_text` turns the file's bytes into the program's text (the
// run's name encoding: the same bytes, or CP932 made UTF-8).
ParsedIndex ParseIndex(const std::string& bytes,
                       const std::function<std::string(const std::string&)>& to_text);

// A 12-byte archive name: four digits, a 4-byte extension field without a dot, a separator or
// a control character, then ".zip" or ".ZIP" (either case; the caller compares the case).
bool IsArchiveName(const std::string& name);

// The short-name problems of `name` (a bare name as it stands on disk): not 8.3 (an error) or,
// once upper-cased, holding anything but A-Z, 0-9 and "_" beside its dot (a warning).
std::vector<Problem> ShortNameProblems(const std::string& subject, const std::string& name);

}  // namespace kel
