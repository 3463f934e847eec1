#include "platform/interrupt_watch.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace kel {
namespace {

static_assert(SIGPIPE == kBrokenPipeSignal);

// The requests the watch takes; one more is one more entry here (and a name below).
constexpr std::array kWatchedSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : kWatchedSignals) sigaddset(&set, signal_number);
  return set;
}

// A descriptor closed with its owner.
class OwnedFd {
 public:
  explicit OwnedFd(int fd) : fd_(fd) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "interrupt watch");
  }
  ~OwnedFd() { close(fd_); }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

// The signals are blocked in the creating thread (threads started later inherit the mask) and
// read from a signalfd by a thread of the watch's own: no signal handler and no process-wide
// variable, the request lands in the watch itself. The watch must be made before any other
// thread, or a signal may still be delivered to one that has it unblocked. The thread sleeps in
// poll until a signal comes or the watch's end writes to its eventfd, so ending costs no wait.
struct InterruptWatch::State {
  explicit State(const sigset_t& watched)
      : signals(signalfd(-1, &watched, SFD_CLOEXEC)), wake(eventfd(0, EFD_CLOEXEC)) {}

  std::atomic<int> signal{0};
  sigset_t old_mask{};
  OwnedFd signals;
  OwnedFd wake;
  std::thread thread;

  void Watch() {
    std::array<pollfd, 2> fds{pollfd{signals.Get(), POLLIN, 0}, pollfd{wake.Get(), POLLIN, 0}};
    for (;;) {
      if (poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      signalfd_siginfo info{};
      if (read(signals.Get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
      const int taken = static_cast<int>(info.ssi_signo);
      int none = 0;
      // A second request means the first was not enough (the program is stuck in a system
      // call, say): end at once. The next run clears the temporaries this leaves.
      if (!signal.compare_exchange_strong(none, taken)) std::_Exit(128 + taken);
    }
  }
};

InterruptWatch::InterruptWatch() {
  const sigset_t watched = WatchedSignals();
  sigset_t old_mask;
  pthread_sigmask(SIG_BLOCK, &watched, &old_mask);
  try {
    state_ = std::make_unique<State>(watched);
    state_->old_mask = old_mask;
    state_->thread = std::thread([state = state_.get()] { state->Watch(); });
  } catch (...) {
    state_.reset();
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    throw;
  }
}

InterruptWatch::~InterruptWatch() {
  const uint64_t one = 1;
  // The eventfd's counter cannot overflow with one write; the thread sees it at once.
  [[maybe_unused]] const ssize_t written = write(state_->wake.Get(), &one, sizeof one);
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
