#include "platform/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace kel {

bool IsTerminal(int fd) noexcept { return ::isatty(fd) == 1; }

int TerminalColumns(int fd) noexcept {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    const int value = std::atoi(columns);
    if (value > 0) return value;
  }
  return 80;
}

bool StandardOutputReaderGone() noexcept {
  // A write into a pipe without a reader raises SIGPIPE at the writing thread; the interrupt
  // watch keeps it blocked, so it waits here, pending, as the mark of that very failure.
  sigset_t pending;
  if (sigpending(&pending) != 0 || sigismember(&pending, SIGPIPE) != 1) return false;
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  const struct timespec no_wait {};
  while (sigtimedwait(&pipe_signal, nullptr, &no_wait) == SIGPIPE) {
  }
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    ::dup2(null, 1);
    ::close(null);
  }
  return true;
}

}  // namespace kel
