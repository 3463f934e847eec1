#include "platform/terminal.h"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kel {

namespace {

HANDLE ConsoleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

bool IsTerminal(int fd) noexcept {
  DWORD mode = 0;
  return GetConsoleMode(ConsoleOf(fd), &mode) != FALSE;
}

int TerminalColumns(int fd) noexcept {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(ConsoleOf(fd), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  if (const char* columns = std::getenv("COLUMNS")) {
    const int value = std::atoi(columns);
    if (value > 0) return value;
  }
  return 80;
}

bool StandardOutputReaderGone() noexcept {
  // The C runtime gives EPIPE for both ways a pipe reports its reader gone; the system's own
  // number is still there when nothing has called the system since.
  const DWORD error = GetLastError();
  if (errno != EPIPE && error != ERROR_BROKEN_PIPE && error != ERROR_NO_DATA) return false;
  std::FILE* null = nullptr;
  freopen_s(&null, "NUL", "w", stdout);
  return true;
}

}  // namespace kel
