#include "platform/code_page.h"

#include <algorithm>

#include "platform/code_page_system.h"
#include "platform/unicode_normalize.h"

// The system-independent half of the code-page helpers: character lengths, cuts and the
// length-keeping case conversion. What needs the system (its code page, its locale's case and
// collation, conversions between code pages) is in posix/code_page.cpp and win32/code_page.cpp.

namespace kel {
namespace {

bool IsUtf8Trail(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// Length of a well-formed UTF-8 sequence at `pos`, or 1 when the bytes there are no such
// sequence (stray trail byte, overlong form, surrogate, cut off by the end).
std::size_t Utf8Length(std::string_view s, std::size_t pos) {
  const auto c = static_cast<unsigned char>(s[pos]);
  std::size_t len = 1;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 1;
  }
  if (pos + len > s.size()) return 1;
  const auto second = static_cast<unsigned char>(s[pos + 1]);
  if (second < lo || second > hi) return 1;
  for (std::size_t i = 2; i < len; ++i)
    if (!IsUtf8Trail(static_cast<unsigned char>(s[pos + i]))) return 1;
  return len;
}

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsSjisTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Converts every character: single bytes with `convert_ascii`, longer ones as the system's
// locale converts them; a character whose converted form has another byte length stays as it
// was, so the length never changes.
std::string ConvertCase(std::string_view s, CodePage cp, bool upper) {
  std::string out(s);
  if (!HasHighBytes(s)) {
    // ASCII only (an archive name, say): every byte is a character of its own in every code page.
    for (char& c : out) c = upper ? AsciiUpper(c) : AsciiLower(c);
    return out;
  }
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t len = CharLengthAt(s, pos, cp);
    if (len == 1) {
      out[pos] = upper ? AsciiUpper(s[pos]) : AsciiLower(s[pos]);
    } else {
      const std::optional<std::string> converted =
          code_page_system::ConvertCharCase(s.substr(pos, len), cp, upper);
      if (converted && converted->size() == len) out.replace(pos, len, *converted);
    }
    pos += len;
  }
  return out;
}

}  // namespace

std::size_t CharLengthAt(std::string_view s, std::size_t pos, CodePage cp) {
  if (pos >= s.size()) return 0;
  const auto c = static_cast<unsigned char>(s[pos]);
  switch (cp) {
    case CodePage::kUtf8:
      return Utf8Length(s, pos);
    case CodePage::kShiftJis:
      if (IsSjisLead(c) && pos + 1 < s.size() &&
          IsSjisTrail(static_cast<unsigned char>(s[pos + 1])))
        return 2;
      return 1;
    case CodePage::kSystemDoubleByte:
      // A lead byte takes the next byte whatever it is, as the system's own character walk
      // does; only the end of the string or a zero byte stops it.
      if (c >= 0x80 && pos + 1 < s.size() && s[pos + 1] != '\0' &&
          code_page_system::IsAnsiLeadByte(c))
        return 2;
      return 1;
    case CodePage::kSingleByte:
      break;
  }
  return 1;
}

std::size_t LastCharStart(std::string_view s, CodePage cp) {
  std::size_t last = std::string_view::npos;
  for (std::size_t pos = 0; pos < s.size(); pos += CharLengthAt(s, pos, cp)) last = pos;
  return last;
}

bool IsCharStart(std::string_view s, std::size_t pos, CodePage cp) {
  // Shift-JIS trail bytes overlap lead and single bytes, so only a walk from the start knows.
  std::size_t at = 0;
  while (at < pos) at += CharLengthAt(s, at, cp);
  return at == pos && pos < s.size();
}

std::size_t LastDelimiter(std::string_view delimiters, std::string_view s, CodePage cp) {
  // In UTF-8 and single-byte text an ASCII byte is always a character of its own (a UTF-8
  // sequence holds none), so the last one is found from the end without walking the path.
  const bool ascii_delimiters = std::all_of(delimiters.begin(), delimiters.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80;
  });
  if (ascii_delimiters && (cp == CodePage::kUtf8 || cp == CodePage::kSingleByte)) {
    // By hand: find_last_of asks memchr once per byte of the path.
    for (std::size_t pos = s.size(); pos-- > 0;)
      for (const char d : delimiters)
        if (s[pos] == d) return pos;
    return std::string_view::npos;
  }
  std::size_t last = std::string_view::npos;
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t len = CharLengthAt(s, pos, cp);
    if (len == 1 && delimiters.find(s[pos]) != std::string_view::npos) last = pos;
    pos += len;
  }
  return last;
}

std::string_view LeadingWholeChars(std::string_view s, std::size_t max_bytes, CodePage cp) {
  std::size_t end = 0;
  while (end < s.size()) {
    const std::size_t len = CharLengthAt(s, end, cp);
    if (end + len > max_bytes) break;
    end += len;
  }
  return s.substr(0, end);
}

std::string AnsiUpperCase(std::string_view s, CodePage cp) { return ConvertCase(s, cp, true); }

std::string AnsiLowerCase(std::string_view s, CodePage cp) { return ConvertCase(s, cp, false); }

bool IsValidUtf8(std::string_view s) {
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t length = Utf8Length(s, at);
    if (length == 1 && static_cast<unsigned char>(s[at]) >= 0x80) return false;
    at += length;
  }
  return true;
}

std::optional<std::string> Utf8NameToCp932(std::string_view utf8) {
  if (std::optional<std::string> as_it_is = Utf8ToCp932(utf8)) return as_it_is;
  const std::optional<std::string> composed = ComposedUtf8(utf8);
  if (!composed || *composed == utf8) return std::nullopt;
  return Utf8ToCp932(*composed);
}

bool HasHighBytes(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace kel
