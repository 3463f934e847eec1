// The command line of kelvarin-batch: SOURCE OUTPUT and the options. Kept apart from the run so
// that options can be added without touching it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/path_syntax.h"
#include "zip/zip_builder.h"

namespace kel {

// --encoding: what names are stored in.
enum class BatchEncoding {
  kSystem,  // the system's code page: UTF-8 (with its marks) on Linux, the ANSI code page on
            // Windows
  kUtf8,    // UTF-8 with its marks on every system
  kCp932,   // Microsoft code page 932 without marks, from UTF-8 names (Linux's --encoding cp932)
};

// How a run keeps its text for an encoding: the code page of its 8-bit text (chosen at start-up
// with ChooseTextCodePage) and how the zip builder stores names.
struct EncodingPlan {
  TextChoice text = TextChoice::kSystem;
  NameEncoding names = NameEncoding::kFileSystem;
};
EncodingPlan PlanEncoding(BatchEncoding encoding);

struct BatchOptions {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  std::string source;  // the folders exactly as given
  std::string output;
  std::string error;  // what was wrong, for kUsageError

  int jobs = 0;                                     // files compressed at once; 0 = one per core
  bool verify = false;                              // read every archive back after writing it
  bool keep_going = false;                          // skip a file that cannot be archived and go on
  bool check = false;  // check a finished output folder instead of a run (source may be empty)
  bool parallel_deflate = false;                    // big files deflated in blocks on every job
  BatchEncoding encoding = BatchEncoding::kSystem;  // entry names and files.txt
};

// The largest --jobs accepted.
constexpr int kMaxJobs = 1024;

// Parses the arguments after the program name. Options and operands may come in any order;
// --check takes OUTPUT or SOURCE OUTPUT and goes with --jobs and --encoding only;
// "--" ends the options; "-" alone is a folder name. --help or --version anywhere wins over
// operands. An option's value follows it ("--jobs 4", "-j 4") or is joined to it ("--jobs=4",
// "-j4", "--encoding=cp932").
BatchOptions ParseBatchOptions(const std::vector<std::string>& args);

// What the program answers without a run: the help or version text on `out`, or a usage error
// on `err`; the exit status then (0 or 2). Nothing when `options` ask for a run.
std::optional<int> AnswerWithoutRun(const BatchOptions& options, std::ostream& out,
                                    std::ostream& err);

// The number of jobs a run uses: `requested` when positive, else the number of cores (at
// least 1).
int EffectiveJobs(int requested);

// The one-line usage text (with its line end) and the full help text, whose examples and
// --encoding text are those of the system whose paths `style` writes.
std::string BatchUsage();
std::string BatchHelp(PathStyle style);
std::string BatchVersion();

}  // namespace kel
