#include "platform/interrupt_watch.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace kel {
namespace {

static_assert(SIGPIPE == kBrokenPipeSignal);

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGPIPE);
  return set;
}

}  // namespace

// The signals are blocked in the creating thread (threads started later inherit the mask) and
// taken by a thread of the watch's own with sigtimedwait: no signal handler and no process-wide
// variable, the request lands in the watch itself. The watch must be made before any other
// thread, or a signal may still be delivered to one that has it unblocked.
struct InterruptWatch::State {
  std::atomic<int> signal{0};
  std::atomic<bool> stop{false};
  sigset_t old_mask{};
  std::thread thread;
};

InterruptWatch::InterruptWatch() : state_(std::make_unique<State>()) {
  const sigset_t watched = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &watched, &state_->old_mask);
  State* state = state_.get();
  state_->thread = std::thread([state, watched] {
    const struct timespec period { 0, 50 * 1000 * 1000 };
    while (!state->stop.load()) {
      const int taken = sigtimedwait(&watched, nullptr, &period);
      if (taken > 0) {
        int none = 0;
        // A second request means the first was not enough (the program is stuck in a system
        // call, say): end at once. The next run clears the temporaries this leaves.
        if (!state->signal.compare_exchange_strong(none, taken)) std::_Exit(128 + taken);
      }
    }
  });
}

InterruptWatch::~InterruptWatch() {
  state_->stop.store(true);
  state_->thread.join();
  pthread_sigmask(SIG_SETMASK, &state_->old_mask, nullptr);
}

int InterruptWatch::Signal() const noexcept { return state_->signal.load(); }

const char* InterruptWatch::SignalName(int signal_number) noexcept {
  switch (signal_number) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGPIPE:
      return "SIGPIPE";
    default:
      return "signal";
  }
}

}  // namespace kel
