// kelvarin-batch SOURCE OUTPUT [OPTION]...: the desktop program's job without a window.
// Windows: the arguments come as the system has them, in UTF-16, and reach the run in its code
// page (the ANSI code page, or UTF-8 with --encoding utf-8).
#include <windows.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_language.h"
#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "batch/delivery_check.h"
#include "platform/code_page.h"
#include "platform/error_text.h"
#include "platform/interrupt_watch.h"
#include "platform/terminal.h"
#include "platform/win32/console_output.h"
#include "platform/win32/wide_text.h"

namespace {

// An argument in UTF-8, which holds every name; options are read in it before the run's code
// page is known. A lone surrogate (no character at all) is kept as "?".
std::string Utf8Argument(const wchar_t* argument) {
  if (auto utf8 = kel::win32::BytesFromWide(argument, CP_UTF8)) return *utf8;
  std::string text;
  for (const wchar_t* c = argument; *c != L'\0'; ++c) text += *c < 0x80 ? char(*c) : '?';
  return text;
}

// A folder argument in the run's code page; nothing when it has no exact form there.
std::optional<std::string> RunText(const std::string& utf8) {
  const std::optional<std::wstring> wide = kel::win32::WideFromBytes(utf8, CP_UTF8);
  if (!wide) return std::nullopt;
  return kel::win32::TextFromWide(*wide);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  kel::StartBatchLanguage();
  // Before any thread starts, as on POSIX: Ctrl-C, Ctrl-Break and the console's close reach
  // the watch and end the run at its next safe point.
  const kel::InterruptWatch interrupts;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8Argument(argv[i]));
  const kel::BatchOptions options = kel::ParseBatchOptions(args);
  if (const auto status = kel::AnswerWithoutRun(options, std::cout, std::cerr)) return *status;
  kel::ChooseTextCodePage(kel::PlanEncoding(options.encoding).text);

  kel::BatchSettings settings = kel::SettingsFor(options);
  for (std::string* folder : {&settings.source, &settings.output}) {
    if (folder->empty()) continue;  // --check without SOURCE
    std::optional<std::string> text = RunText(*folder);
    if (!text) {
      // "The name of folder X cannot be written in the system's code page." (X in UTF-8 would
      // be garbled on the console, so it is described character by character.)
      const std::optional<std::wstring> wide = kel::win32::WideFromBytes(*folder, CP_UTF8);
      std::cerr << kel::MessageWithPeriod("フォルダ " +
                                              kel::win32::DescribeWide(wide.value_or(L"?")) +
                                              " の名前はシステムの文字コードで書けません",
                                          kel::SystemCodePage())
                << '\n';
      return 1;
    }
    *folder = std::move(*text);
  }
  const kel::win32::ConsoleOutput console(kel::kStandardOutput);
  settings.terminal = console.LineInPlace();
  settings.terminal_columns = [] { return kel::TerminalColumns(kel::kStandardOutput); };
  settings.interrupt_signal = [&interrupts] { return interrupts.Signal(); };
  settings.output_reader_gone = [] { return kel::StandardOutputReaderGone(); };
  if (options.check) {
    kel::CheckSettings check = kel::CheckSettingsFor(options);
    check.source = settings.source;
    check.output = settings.output;
    check.terminal = settings.terminal;
    check.terminal_columns = settings.terminal_columns;
    check.interrupt_signal = settings.interrupt_signal;
    return kel::RunCheck(check, std::cout, std::cerr);
  }
  return kel::RunBatch(settings, std::cout, std::cerr);
}
