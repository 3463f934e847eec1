// File names as they may be shown and stored: control characters are the one thing that can
// not go into "files.txt" or onto a terminal as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace kel {

// The length of the control character that starts at `pos` of `name`, or 0: a byte below 0x20
// or the byte 0x7F (in every code page: such bytes never occur inside a multi-byte character of
// UTF-8 or Shift-JIS); and, when `unicode` (the name is valid UTF-8 text), the C1 controls
// U+0080-U+009F and the line and paragraph separators U+2028 and U+2029, which Unicode-aware
// readers take as line breaks.
std::size_t ControlLengthAt(std::string_view name, std::size_t pos, bool unicode);

// True when `name`, text in the code page `cp`, holds a control character. Only UTF-8 text that
// is valid UTF-8 is decoded: a raw Shift-JIS name on a UTF-8 system is not, and its bytes
// 0x81-0x9F are lead bytes, not C1 controls.
bool HasControlCharacters(std::string_view name, CodePage cp);

// `name` (text in the system's code page) with each control character shown as an escape ("\t",
// "\n", "\r", "\x1b", "\x7f", "\u0085", "\u2028"); other bytes pass unchanged, so an ordinary
// name or Windows path reads as it is.
std::string EscapedName(std::string_view name);

}  // namespace kel
