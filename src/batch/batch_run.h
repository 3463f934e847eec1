// The job without a window: the start action and the pass of the window's handlers, driven
// once for two folders given on the command line.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "batch/batch_options.h"
#include "platform/exceptions.h"
#include "platform/path_syntax.h"
#include "zip/zip_builder.h"

namespace kel {

struct BatchSettings {
  std::string source;  // the folders as given on the command line
  std::string output;
  int jobs = 1;             // files compressed at once; 1 = the window's file-by-file pass
  bool verify = false;      // read every archive back after closing it
  bool keep_going = false;  // skip files that cannot be archived, summary at the end
  NameEncoding encoding = NameEncoding::kFileSystem;
  // Big files deflated in blocks on all the jobs' threads (other deflate data than the
  // window's, as valid); off: the window's bytes.
  bool parallel_deflate = false;
  // `out` is a terminal: one status line rewritten in place instead of a line per text.
  bool terminal = false;
  std::function<int()> terminal_columns = [] { return 80; };
  // The run's own texts are not Japanese (ExplainInEnglish): each Japanese message of the
  // system's on `err` is followed by a line that says in English what it means.
  bool english_notes = false;

  // The signal number of a request to stop (InterruptWatch::Signal), asked while files are
  // archived; not 0 ends the run after the file in hand is given up, with 128 + that number.
  std::function<int()> interrupt_signal;
  // Asked on the run's thread after a write to `out` failed: true when its reader has gone
  // (StandardOutputReaderGone). The run then stops as SIGPIPE sent to it would; any other write
  // failure lets the archiving go on and is reported at the end.
  std::function<bool()> output_reader_gone;

  // Test seams. after_collection runs once the start action has collected the files, before
  // the pass; after_close as ArchiverSettings::after_close.
  std::function<void()> after_collection;
  std::function<void(int32_t index, const std::string& archive_path)> after_close;
  // Test seam: the size from which parallel_deflate takes a file in blocks.
  uint64_t parallel_deflate_from = kBlockDeflateThreshold;
};

// The settings of a run from its command line: folders, jobs (one per core unless given),
// verification, keep-going, parallel deflate and how names are stored. The terminal fields are left
// to the caller. Call after the text code page of PlanEncoding(options.encoding) was chosen.
BatchSettings SettingsFor(const BatchOptions& options);

// Archives every file of the folder `settings.source` into the folder `settings.output`,
// through the same BatchJob the window uses: the status texts on `out` (on a line each, or the
// terminal's status line; the completion text last), a failure as the error display's text on
// `err`, files skipped under keep_going on `err` as they come and a summary at the end. Both
// folders must exist; they are resolved as the system resolves them (links before ".."). A
// failure's line carries its reason, and names are shown with control characters escaped.
// Returns the exit status: 0 done, 1 failed, a file skipped or `out` not written (said on `err`
// at the end), 128 + the signal's number when interrupted or when `out`'s reader has gone (a
// line on `err` says where the run stopped, counting the archives that exist).
int RunBatch(const BatchSettings& settings, std::ostream& out, std::ostream& err);

// Shared with the check of a delivery. The folder as the system resolves it (links followed
// before ".."); raises EFolderError when it does not exist or is no folder.
std::string ResolvedFolder(const std::string& folder);
// A failure that ends the program: the error display's text with its reason, and with
// `english` the line that says in English what a Japanese message means; each with its line end.
std::string ErrorLines(const Exception& e, bool english);

}  // namespace kel
