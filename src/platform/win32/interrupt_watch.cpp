#include "platform/interrupt_watch.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "platform/win32/console_control.h"

// The console's control handler is a plain function of the process: it can reach the one live
// watch only through a process-wide pointer, set and cleared by the watch itself.

namespace kel {

struct InterruptWatch::State {
  std::atomic<int> signal{0};
};

namespace {

// The signal slot of the live watch, or null.
std::atomic<std::atomic<int>*>& LiveWatch() {
  static std::atomic<std::atomic<int>*> live{nullptr};
  return live;
}

// The numbers of the POSIX signals that mean the same: Ctrl-C is SIGINT, Ctrl-Break SIGTERM,
// the console's close SIGHUP.
int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return 2;
    case CTRL_BREAK_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return 15;
    case CTRL_CLOSE_EVENT:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

namespace win32 {

BOOL WINAPI OnConsoleControl(DWORD event) {
  std::atomic<int>* slot = LiveWatch().load();
  const int signal = SignalOf(event);
  if (slot == nullptr || signal == 0) return FALSE;  // the default handling: the process ends
  int none = 0;
  // A second request means the first was not enough (the program is stuck in a system call,
  // say): end at once. The next run clears the temporaries this leaves.
  if (!slot->compare_exchange_strong(none, signal)) std::_Exit(128 + signal);
  // The run stops at its next safe point. After the console's close the system ends the process
  // once this returns; the temporaries it leaves go at the next run in that folder.
  return TRUE;
}

}  // namespace win32

InterruptWatch::InterruptWatch() : state_(std::make_unique<State>()) {
  LiveWatch().store(&state_->signal);
  SetConsoleCtrlHandler(win32::OnConsoleControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
  SetConsoleCtrlHandler(win32::OnConsoleControl, FALSE);
  LiveWatch().store(nullptr);
}

int InterruptWatch::Signal() const noexcept { return state_->signal.load(); }

const char* InterruptWatch::SignalName(int signal_number) noexcept {
  switch (signal_number) {
    case 2:
      return "Ctrl+C";
    case 15:
      return "Ctrl+Break";
    case 1:
      return "the console's close";
    case kBrokenPipeSignal:
      return "SIGPIPE";
    default:
      return "signal";
  }
}

}  // namespace kel
