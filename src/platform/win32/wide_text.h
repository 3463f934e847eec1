// The program's 8-bit text and Windows' wide (UTF-16) text: the conversions the backend makes at
// every system call, and the one path form every file-system call takes.
//
// Strings above the platform layer hold bytes in one code page per run (code_page.h says why):
// the ANSI code page, or UTF-8 once ChooseTextCodePage(kUtf8) was called. A narrow string goes
// to the system converted to UTF-16; a wide name comes back only when it has an exact narrow
// form (WC_NO_BEST_FIT_CHARS and a round trip: code page 932 would otherwise turn "é" into "e"
// without a word), and files are always opened by their wide names.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kel::win32 {

// The Windows code page number of the program's 8-bit text (CP_UTF8 or the ANSI code page).
UINT TextCodePage() noexcept;

// `text` in the program's code page as UTF-16; nothing when it is not valid there.
std::optional<std::wstring> WideFromText(std::string_view text);
// `wide` in the program's code page; nothing when a character has no exact form there.
std::optional<std::string> TextFromWide(std::wstring_view wide);
// `wide` in the program's code page with every character that has no exact form there written
// as "<U+XXXX>": a name that can be shown but never opened ("<" and ">" are in no Windows name).
std::string DescribeWide(std::wstring_view wide);

// Conversions between UTF-16 and code page `code_page`, exact or nothing (lone surrogates, bytes
// that are no character there, characters without a form there).
std::optional<std::wstring> WideFromBytes(std::string_view bytes, UINT code_page);
std::optional<std::string> BytesFromWide(std::wstring_view wide, UINT code_page);

// `path` as every file-system call takes it: UTF-16 in the "\\?\" form of its full path
// (ExtendedPath). Nothing when it is not valid text or holds a zero byte, which would cut it
// short.
std::optional<std::wstring> SystemPath(std::string_view path);

// The full path of `path` in the "\\?\" form ("\\?\UNC\server\share\..." for a share),
// whatever its length. The system takes that form as it stands, so every name in it is the name
// of the entry on disk: a trailing dot or space stays, and "CON.txt" or "nul" is a file, not a
// device. So the names are never given to GetFullPathNameW, which strips and maps them: a
// relative path is put after the current folder, "/" becomes "\", and "." and ".." are folded
// away by their text alone. A trailing separator is dropped (a root keeps its own). A path in
// the "\\?\" or "\\.\" form already, and the empty path, are returned as they are.
std::wstring ExtendedPath(std::wstring_view path);

}  // namespace kel::win32
