#include "platform/interrupt_watch.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/win32/console_control.h"
#include "platform/win32/scoped_handle.h"

// The console's control handler is a plain function of the process: it can reach the one live
// watch only through a process-wide pointer, set and cleared by the watch itself. The handler
// keeps what it reached alive while it runs, so that the watch may go meanwhile.

namespace kel {

namespace {

// How long the handler holds the process after the console's close, a logoff or a shutdown,
// waiting for the run to reach its safe point and clean up: the system ends the process once
// the handler returns, and after five seconds anyway.
constexpr DWORD kEndGrace = 4500;

// What the handler and the watch share: the request, and an event set when the watch goes.
struct Request {
  std::atomic<int> signal{0};
  win32::ScopedHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

struct LiveRequest {
  std::mutex mutex;
  std::shared_ptr<Request> request;  // of the live watch, or null
};

LiveRequest& Live() {
  static LiveRequest live;
  return live;
}

std::shared_ptr<Request> LoadLive() {
  LiveRequest& live = Live();
  const std::lock_guard<std::mutex> lock(live.mutex);
  return live.request;
}

void StoreLive(std::shared_ptr<Request> request) {
  LiveRequest& live = Live();
  const std::lock_guard<std::mutex> lock(live.mutex);
  live.request = std::move(request);
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

// The events after which the system ends the process as soon as the handler returns.
bool EndsProcess(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

}  // namespace

struct InterruptWatch::State {
  std::shared_ptr<Request> request = std::make_shared<Request>();
};

namespace win32 {

BOOL WINAPI OnConsoleControl(DWORD event) {
  const std::shared_ptr<Request> request = LoadLive();
  const int signal = SignalOf(event);
  if (!request || signal == 0) return FALSE;  // the default handling: the process ends
  int none = 0;
  // A second request means the first was not enough (the program is stuck in a system call,
  // say): end at once. The next run clears the temporaries this leaves.
  if (!request->signal.compare_exchange_strong(none, signal)) std::_Exit(128 + signal);
  // The run stops at its next safe point. Where the process ends once this returns, it waits
  // for the watch to go (the run has cleaned up then), and no longer: the watch's end sets the
  // event at once.
  if (EndsProcess(event) && request->ended.IsValid())
    WaitForSingleObject(request->ended.Get(), kEndGrace);
  return TRUE;
}

}  // namespace win32

InterruptWatch::InterruptWatch() : state_(std::make_unique<State>()) {
  StoreLive(state_->request);
  SetConsoleCtrlHandler(win32::OnConsoleControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
  SetConsoleCtrlHandler(win32::OnConsoleControl, FALSE);
  StoreLive(nullptr);
  if (state_->request->ended.IsValid()) SetEvent(state_->request->ended.Get());
}

int InterruptWatch::Signal() const noexcept { return state_->request->signal.load(); }

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
