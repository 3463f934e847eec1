// The few facts about a terminal that kelvarin-batch's display needs.
#pragma once

namespace kel {

// The descriptor of standard output, the same number on every system.
constexpr int kStandardOutput = 1;

// True when the descriptor `fd` is a terminal.
bool IsTerminal(int fd) noexcept;

// The width of the terminal on `fd` in columns: what the terminal says, else $COLUMNS, else 80.
int TerminalColumns(int fd) noexcept;

}  // namespace kel
