#include "platform/win32/console_output.h"

#include <io.h>

#include "platform/win32/wide_text.h"

namespace kel::win32 {

ConsoleOutput::ConsoleOutput(int fd) noexcept {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return;
  console_ = handle;
  old_mode_ = mode;
  old_code_page_ = GetConsoleOutputCP();
  SetConsoleOutputCP(TextCodePage());
  in_place_ = SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT |
                                         ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

ConsoleOutput::~ConsoleOutput() {
  if (console_ == INVALID_HANDLE_VALUE) return;
  SetConsoleMode(console_, old_mode_);
  if (old_code_page_ != 0) SetConsoleOutputCP(old_code_page_);
}

}  // namespace kel::win32
