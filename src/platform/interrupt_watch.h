// Notices a request to stop the program (SIGINT, SIGTERM, SIGHUP, SIGPIPE on POSIX; Ctrl-C,
// Ctrl-Break and the console's close on Windows) while a watch is alive, so that a long run can stop at
// its next safe point, clean up and exit with 128 + the signal's number instead of dying with
// half-written files. A second request while the first is pending ends the process at once
// with 128 + its number (the program did not get to a safe point). Only one watch may be alive
// at a time.
#pragma once

#include <memory>

namespace kel {

// SIGPIPE's number, which also stands for standard output's reader having gone where the
// system raises no signal for it (Windows). While a watch is alive, the SIGPIPE that a write
// into a closed pipe raises stays pending at the writing thread (StandardOutputReaderGone).
constexpr int kBrokenPipeSignal = 13;

class InterruptWatch {
 public:
  InterruptWatch();   // from now on the requests above are caught instead of ending the process
  ~InterruptWatch();  // the default handling comes back
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // 0 while no request came; else the signal number of the first (SIGINT 2, SIGTERM 15,
  // SIGHUP 1, SIGPIPE 13 sent to the process; Windows' Ctrl-C counts as 2, Ctrl-Break and close as 15 and 1). Thread-safe.
  int Signal() const noexcept;

  // Names of the requests, for a message: "SIGINT" and so on.
  static const char* SignalName(int signal_number) noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kel
