// kelvarin-batch SOURCE OUTPUT [OPTION]...: the desktop program's job without a window.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_language.h"
#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "platform/interrupt_watch.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  kel::StartBatchLanguage();
  // Before any thread starts: an interrupt then reaches the watch, not a worker.
  const kel::InterruptWatch interrupts;
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
  settings.english_notes = kel::ExplainInEnglish();
  settings.terminal = kel::IsTerminal(kel::kStandardOutput);
  settings.terminal_columns = [] { return kel::TerminalColumns(kel::kStandardOutput); };
  settings.interrupt_signal = [&interrupts] { return interrupts.Signal(); };
  return kel::RunBatch(settings, std::cout, std::cerr);
}
