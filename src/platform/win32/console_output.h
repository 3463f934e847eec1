// A console that shows kelvarin-batch's status line: for as long as this lives, the console
// takes the program's 8-bit text in its code page and understands the escape sequences that
// rewrite the line (Windows 10 and later; Wine). Both settings come back at the end.
#pragma once

#include <windows.h>

namespace kel::win32 {

class ConsoleOutput {
 public:
  // `fd` is a C runtime descriptor (1 for standard output). Nothing happens when it is no
  // console.
  explicit ConsoleOutput(int fd) noexcept;
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  // True when `fd` is a console that now takes the escape sequences: the status line can be
  // drawn in place.
  bool LineInPlace() const noexcept { return in_place_; }

 private:
  HANDLE console_ = INVALID_HANDLE_VALUE;
  DWORD old_mode_ = 0;
  UINT old_code_page_ = 0;
  bool in_place_ = false;
};

}  // namespace kel::win32
