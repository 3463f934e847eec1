// Runs the kelvarin-batch binary the way a script would and captures what it printed.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

#ifndef KELVARIN_BATCH_PROGRAM
#error "KELVARIN_BATCH_PROGRAM must name the kelvarin-batch binary"
#endif

namespace kel::test {

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

// The locales the program's language is tested under. Tests that expect its own texts in
// Japanese (the system's messages are Japanese in every locale) run under kJapanese, so that
// they hold whatever locale the machine or CI has.
inline constexpr const char* kJapanese = "ja_JP.UTF-8";
inline constexpr const char* kEnglish = "C.UTF-8";

// Runs kelvarin-batch with `args` (already quoted) under `locale` (LANGUAGE cleared, which
// would otherwise take precedence), after `prelude` in the same shell.
inline ProgramRun RunBatchProgram(const std::string& args, const std::string& prelude = "",
                                  const std::string& locale = kJapanese,
                                  const std::string& program = KELVARIN_BATCH_PROGRAM) {
  TempDir capture;
  const std::string command = "export LC_ALL=" + ShellQuote(locale) + " LANGUAGE=; " + prelude +
                              " exec " + ShellQuote(program) + " " + args + " >" +
                              ShellQuote(capture / "out") + " 2>" + ShellQuote(capture / "err");
  std::string shell_output;
  ProgramRun run;
  run.status = RunCommand("sh -c " + ShellQuote(command), &shell_output);
  run.out = ReadFile(capture / "out");
  run.err = ReadFile(capture / "err");
  EXPECT_EQ(shell_output, "");
  return run;
}

inline std::string Args(const std::string& a, const std::string& b) {
  return ShellQuote(a) + " " + ShellQuote(b);
}

}  // namespace kel::test
