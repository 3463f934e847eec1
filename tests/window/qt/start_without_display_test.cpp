// The desktop program started where no display can be reached: one line on stderr and exit
// status 1, never Qt's abort with a core dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

#ifndef KELVARIN_PROGRAM
#error "KELVARIN_PROGRAM must name the kelvarin binary"
#endif

namespace kel {
namespace {

using test::ReadFile;
using test::ShellQuote;
using test::TempDir;

struct NoDisplayCase {
  std::string settings;  // VAR=value words for env, after the display variables are unset
  std::string named;     // what the line names in its parentheses
};

TEST(StartWithoutDisplay, WritesOneLineAndEndsWithStatusOneInsteadOfAborting) {
  const std::vector<NoDisplayCase> cases = {
      {"", "DISPLAY も WAYLAND_DISPLAY も設定されていません"},
      // A display number no X server listens on.
      {"DISPLAY=:9875", "DISPLAY=:9875"},
  };
  for (const NoDisplayCase& c : cases) {
    SCOPED_TRACE(c.named);
    TempDir capture;
    // No core file even if the program does abort: the status tells that anyway.
    const std::string command =
        "ulimit -c 0; exec env -u DISPLAY -u WAYLAND_DISPLAY "
        "-u QT_QPA_PLATFORM " +
        c.settings + " " + ShellQuote(KELVARIN_PROGRAM) + " 2>" + ShellQuote(capture / "err");
    std::string out;
    // -1 when the program was ended by a signal (SIGABRT from qFatal).
    EXPECT_EQ(test::RunCommand("sh -c " + ShellQuote(command), &out), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(ReadFile(capture / "err"),
              "kelvarin: ディスプレイに接続できないため起動できません (" + c.named + ")\n");
  }
}

}  // namespace
}  // namespace kel
