// kelvarin-batch SOURCE OUTPUT [OPTION]...: the desktop program's job without a window; with
// --check, the check of a finished output folder.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_language.h"
#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "batch/delivery_check.h"
#include "platform/code_page.h"
#include "platform/interrupt_watch.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  kel::StartBatchLanguage();
  // Before any thread starts: an interrupt then reaches the watch, not a worker.
  const kel::InterruptWatch interrupts;
  const kel::BatchOptions options =
      kel::ParseBatchOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = kel::AnswerWithoutRun(options, std::cout, std::cerr)) return *status;
  kel::ChooseTextCodePage(kel::PlanEncoding(options.encoding).text);
  if (options.check) {
    kel::CheckSettings check = kel::CheckSettingsFor(options);
    check.terminal = kel::IsTerminal(kel::kStandardOutput);
    check.terminal_columns = [] { return kel::TerminalColumns(kel::kStandardOutput); };
    check.interrupt_signal = [&interrupts] { return interrupts.Signal(); };
    return kel::RunCheck(check, std::cout, std::cerr);
  }
  kel::BatchSettings settings = kel::SettingsFor(options);
  settings.terminal = kel::IsTerminal(kel::kStandardOutput);
  settings.terminal_columns = [] { return kel::TerminalColumns(kel::kStandardOutput); };
  settings.interrupt_signal = [&interrupts] { return interrupts.Signal(); };
  settings.output_reader_gone = [] { return kel::StandardOutputReaderGone(); };
  return kel::RunBatch(settings, std::cout, std::cerr);
}
