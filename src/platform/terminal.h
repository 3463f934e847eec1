// The few facts about a terminal (and standard output) that kelvarin-batch's display needs.
#pragma once

namespace kel {

// The descriptor of standard output, the same number on every system.
constexpr int kStandardOutput = 1;

// True when the descriptor `fd` is a terminal.
bool IsTerminal(int fd) noexcept;

// The width of the terminal on `fd` in columns: what the terminal says, else $COLUMNS, else 80.
int TerminalColumns(int fd) noexcept;

// Asked on the thread whose write to standard output failed: true when it failed because the
// reading end of its pipe was closed (the reader has gone, as `| head` does). Standard output
// then goes to the null device, so that what is still buffered for it, and any later write,
// no longer fails (on POSIX each would raise SIGPIPE again, which the InterruptWatch holds
// back). False for any other failure (a full disk), which leaves everything as it is.
bool StandardOutputReaderGone() noexcept;

}  // namespace kel
