// kelvarin-batch SOURCE OUTPUT [OPTION]...: the desktop program's job without a window.
#include <malloc.h>
#include <unistd.h>

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Every file's deflate state (about 270 KB) is freed before the next one is allocated; with
  // the default trim threshold the heap shrinks and grows again each time, and every file pays
  // for fresh zeroed pages. Keeping a few megabytes costs nothing the run does not use anyway.
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
  const kel::BatchOptions options =
      kel::ParseBatchOptions(std::vector<std::string>(argv + 1, argv + argc));
  switch (options.action) {
    case kel::BatchOptions::Action::kHelp:
      std::cout << kel::BatchHelp();
      return 0;
    case kel::BatchOptions::Action::kVersion:
      std::cout << kel::BatchVersion();
      return 0;
    case kel::BatchOptions::Action::kUsageError:
      std::cerr << "kelvarin-batch: " << options.error << '\n' << kel::BatchUsage();
      return 2;
    case kel::BatchOptions::Action::kRun:
      break;
  }
  kel::BatchSettings settings;
  settings.source = options.source;
  settings.output = options.output;
  settings.jobs = kel::EffectiveJobs(options.jobs);
  settings.verify = options.verify;
  settings.keep_going = options.keep_going;
  settings.encoding = options.encoding;
  settings.terminal = kel::IsTerminal(STDOUT_FILENO);
  settings.terminal_columns = [] { return kel::TerminalColumns(STDOUT_FILENO); };
  return kel::RunBatch(settings, std::cout, std::cerr);
}
