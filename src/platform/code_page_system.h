// The system's side of code_page.cpp, implemented once per system (posix/, win32/). Only the
// platform layer includes this.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace kel::code_page_system {

// True when `c` is a lead byte of the system's double-byte ANSI code page (never on POSIX).
bool IsAnsiLeadByte(unsigned char c) noexcept;

// The other case of the one character `ch` (its bytes in `cp`) as the user's locale has it, in
// `cp`; nothing when the system knows none or cannot say.
std::optional<std::string> ConvertCharCase(std::string_view ch, CodePage cp, bool upper);

}  // namespace kel::code_page_system
