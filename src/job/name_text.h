// File names as they may be shown and stored: control characters are the one thing that can
// not go into "files.txt" or onto a terminal as they are.
#pragma once

#include <string>
#include <string_view>

namespace kel {

// True when `name` holds a byte below 0x20 or the byte 0x7F. Such bytes never occur inside a
// multi-byte character of UTF-8 or Shift-JIS, so bytes can be tested one by one.
bool HasControlCharacters(std::string_view name);

// `name` with each control character shown as an escape ("\t", "\n", "\r", "\x1b", "\x7f");
// other bytes pass unchanged, so an ordinary name or Windows path reads as it is.
std::string EscapedName(std::string_view name);

}  // namespace kel
