// The progress display of kelvarin-batch. Not on a terminal, every status text of the pass goes
// on a line of its own (what scripts and logs expect: exactly the window's texts). On a terminal,
// one line is rewritten in place - files and bytes done, percent, elapsed and remaining time, the
// file being compressed - and the completion text ends up as the last line.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "job/job_host.h"
#include "platform/code_page.h"

namespace kel {

// Every status text on a line of its own; the empty text of the start action shows nothing.
// Lines are flushed to `out` once 100 ms have passed since the last flush (by a text or by
// Tick) and at once for the completion text: a flush per line would cost a system call per
// file. Flush sends whatever is waiting.
class LinePanel : public StatusPanel {
 public:
  explicit LinePanel(std::ostream& out) : out_(out) {}
  void SetText(const std::string& text) override;
  void Tick();
  void Flush();

 private:
  std::ostream& out_;
  std::chrono::steady_clock::time_point last_flush_ = std::chrono::steady_clock::now();
  bool pending_ = false;
};

// What one status line shows.
struct ProgressFacts {
  int32_t files_done = 0;
  int32_t files = 0;
  uint64_t bytes_done = 0;
  uint64_t bytes = 0;
  double elapsed_seconds = 0;
  std::string current_name;  // a bare file name in code page `cp`; may be empty
};

// The status line for `facts`, at most `columns` - 1 columns wide (a line that reaches the
// last column makes some terminals wrap): files, bytes and percent, elapsed and remaining time,
// then as much of the current name as fits, cut after a whole character. Wide (East Asian)
// characters count two columns; control characters in the name show as "?". The remaining time
// is estimated from the bytes done so far ("--:--" before there is anything to go by).
std::string ProgressLine(const ProgressFacts& facts, int columns, CodePage cp);

// The display columns `text` takes on a terminal (code page `cp`).
int DisplayWidth(const std::string& text, CodePage cp);

// The in-place status line. Redraws when the pass reports a file and when Tick is called, at
// most ten times a second; the completion text clears the line and is printed on a line of its
// own.
class TerminalPanel : public StatusPanel {
 public:
  using Clock = std::chrono::steady_clock;
  // `facts` is asked at each redraw (its elapsed time is filled in here); `columns` gives the
  // terminal's current width.
  TerminalPanel(std::ostream& out, std::function<ProgressFacts()> facts,
                std::function<int()> columns, CodePage cp);

  void SetText(const std::string& text) override;
  // Redraws when the last redraw is 100 ms old or more.
  void Tick();
  // Restarts the clock that elapsed time is measured from.
  void Start();
  // Removes the status line (before a message goes to the same terminal on stderr). The next
  // redraw puts it back.
  void Clear();

 private:
  void Redraw(bool force);

  std::ostream& out_;
  std::function<ProgressFacts()> facts_;
  std::function<int()> columns_;
  CodePage cp_;
  Clock::time_point start_;
  Clock::time_point last_draw_;
  bool shown_ = false;
};

}  // namespace kel
