// Multi-byte awareness of 8-bit text. Strings hold bytes in a code page; lengths and cuts count
// bytes. UTF-8 and Shift-JIS (Microsoft code page 932) are known; on Windows the system's
// double-byte ANSI code pages too; anything else is treated as a single-byte code page.
//
// The program's own text (paths, names, messages) is 8-bit in one code page per run, the one
// SystemCodePage() names: on POSIX the locale's encoding, on Windows the ANSI code page (or
// UTF-8 when chosen at start-up). Windows' wide (UTF-16) names are converted exactly at the
// system calls, in platform/win32, and nowhere else: the layers above keep working on bytes and
// cut names by the bytes of the code page they are stored in, as the archives need.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kel {

enum class CodePage {
  kUtf8,
  kShiftJis,          // Microsoft code page 932 by its fixed table (the same on every system)
  kSystemDoubleByte,  // Windows' double-byte ANSI code page (932, 936, 949, 950): lead bytes as
                      // the system knows them (IsDBCSLeadByteEx)
  kSingleByte,
};

// The code page of the program's 8-bit text. POSIX: the locale's encoding: UTF-8 for UTF-8
// locales and for the plain "C"/"POSIX" locale (whose file names are UTF-8 in practice),
// Shift-JIS for SJIS/CP932 locales, single-byte otherwise. Windows: the ANSI code page
// (kSystemDoubleByte for a double-byte one, else kSingleByte), or kUtf8 once UTF-8 was chosen.
CodePage SystemCodePage();

// What the program's 8-bit text is in, chosen once at start-up, before any other thread runs and
// before any text crosses the platform layer (it is the Windows counterpart of setlocale): the
// system's own code page, or UTF-8. On POSIX the locale decides and this changes nothing.
enum class TextChoice { kSystem, kUtf8 };
void ChooseTextCodePage(TextChoice choice) noexcept;

// Number of bytes of the character that starts at `pos` (1 for a single byte or a broken
// sequence; never runs past the end of `s`).
std::size_t CharLengthAt(std::string_view s, std::size_t pos, CodePage cp);

// Start of the last whole character of `s`; npos when `s` is empty.
std::size_t LastCharStart(std::string_view s, CodePage cp);

// True when the byte at `pos` begins a character (is not a trail byte of a double-byte or
// multi-byte character).
bool IsCharStart(std::string_view s, std::size_t pos, CodePage cp);

// Position of the last character of `s` that is one of the single bytes in `delimiters`, or
// npos. A byte that is the trail byte of a double-byte character never matches.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view s, CodePage cp);

// The longest run of whole characters at the start of `s` that fits in `max_bytes`.
std::string_view LeadingWholeChars(std::string_view s, std::size_t max_bytes, CodePage cp);

// Case conversion that never changes the byte length: a character whose converted form has
// another length is kept as it is. Single bytes convert as ASCII; longer characters as the
// system's locale converts them (POSIX: UTF-8 only, Shift-JIS double-byte characters are left
// alone; Windows: LCMapStringEx for every code page).
std::string AnsiUpperCase(std::string_view s, CodePage cp);
std::string AnsiLowerCase(std::string_view s, CodePage cp);

// Case-insensitive comparison of whole strings of the program's code page under the user's
// locale (POSIX: its collation where it has one, ASCII case folding otherwise; Windows:
// CompareStringEx); <0, 0, >0.
int AnsiCompareText(std::string_view a, std::string_view b);

// What AnsiCompareText compares a string by, worked out once, so that sorting n strings converts
// each of them once instead of at every comparison. CompareAnsiTextKeys(AnsiTextKey(a),
// AnsiTextKey(b)) == AnsiCompareText(a, b) under the same locale. The key refers to `s`, which
// must outlive it.
struct AnsiTextKey {
  explicit AnsiTextKey(std::string_view s);
  std::string_view text;
  std::wstring folded;  // valid when has_folded
  bool has_folded = false;
};
int CompareAnsiTextKeys(const AnsiTextKey& a, const AnsiTextKey& b);

// UTF-8 text in Microsoft code page 932 (glibc's "CP932" table; Windows' own, without best-fit
// replacements), or nothing when a character has no exact CP932 form.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// The CP932 form of the UTF-8 file name `utf8`: Utf8ToCp932 of the name as it is, or, where that
// has none, of its canonical composition (NFC), so that a name decomposed as macOS writes it ("か"
// followed by U+3099) gets the form a Windows user types ("が"). A name with a form as it is
// keeps it: composition would replace some characters that CP932 holds (U+212B, the angstrom
// sign, becomes U+00C5, which it does not). Nothing when neither has a form.
std::optional<std::string> Utf8NameToCp932(std::string_view utf8);
// CP932 text as UTF-8, or nothing when the bytes are not valid CP932.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

// True when `s` is well-formed UTF-8 (pure ASCII is). Linux disks copied from old Japanese
// media hold Shift-JIS names, which are not.
bool IsValidUtf8(std::string_view s);

// True when `s` holds a byte of 0x80 or more.
bool HasHighBytes(std::string_view s);

}  // namespace kel
