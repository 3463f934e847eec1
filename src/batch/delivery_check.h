// kelvarin-batch --check [SOURCE] OUTPUT: a read-only check of a finished output folder, so that
// a delivery can be confirmed before it is sent and again when it arrives.
//
// The check reads files.txt, matches its lines with the archives on disk (missing, stray, in
// other case, a link or a FIFO at an archive's name, temporaries left by a killed run), reads
// every archive through (records, the one entry, its CRC-32 and sizes, its name against the
// index line), and with SOURCE compares every regular file directly inside SOURCE with the
// entry that holds it, byte for byte and by time. Names must be 8.3 and should be what a strict
// ISO 9660 level 1 reader takes. Nothing in either folder is changed.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "batch/batch_options.h"
#include "zip/zip_builder.h"

namespace kel {

struct CheckSettings {
  std::string source;  // as given; empty: no comparison with the source
  std::string output;
  int jobs = 1;  // archives read at once; the report is the same whatever the number
  // How the run stored names: files.txt and the entries are read through it first and through
  // the other encoding before a name counts as unmatched.
  NameEncoding encoding = NameEncoding::kFileSystem;
  bool terminal = false;  // `out` is a terminal: a progress line is kept on it
  std::function<int()> terminal_columns = [] { return 80; };
  bool english_notes = false;  // as BatchSettings::english_notes
  // As BatchSettings::interrupt_signal: not 0 ends the check with 128 + that number.
  std::function<int()> interrupt_signal;
};

// The settings of a check from its command line (jobs one per core unless given). Call after
// the text code page of PlanEncoding(options.encoding) was chosen.
CheckSettings CheckSettingsFor(const BatchOptions& options);

// Checks the folder `settings.output` (against `settings.source` when given) under the folder's
// lock, as a run takes it: a folder a run is writing is not read. One line per problem on `out`
// in archive-name order (files.txt's lines first, files of SOURCE without an archive last), then
// a summary: archives checked, bytes read, errors and warnings by kind. A folder that cannot be
// checked at all (missing, busy, without files.txt) gets one message on `err`.
// Returns 0 when no error was found (warnings allowed), 1 otherwise, 128 + the signal's number
// when interrupted.
int RunCheck(const CheckSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace kel
