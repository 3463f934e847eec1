// The program's text (bytes in the system code page) as the windows show it, and back. Unlike
// platform/win32/wide_text.h these never refuse: a window shows what it can.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kel::win32 {

// Bytes that are no text in the code page are shown as the system's replacement character.
std::wstring ToWide(std::string_view text);
// Characters without an exact form in the code page become "?".
std::string FromWide(std::wstring_view wide);
// The window's text, as the window has it (UTF-16).
std::wstring WindowText(HWND hwnd);

}  // namespace kel::win32
