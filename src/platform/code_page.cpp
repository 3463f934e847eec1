#include "platform/code_page.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

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

char32_t DecodeUtf8(std::string_view s, std::size_t pos, std::size_t len) {
  const auto c = static_cast<unsigned char>(s[pos]);
  char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  for (std::size_t i = 1; i < len; ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
  return cp;
}

std::string EncodeUtf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Converts every character with `convert_wide` (UTF-8 only) or `convert_ascii`; a character
// whose converted form has another byte length stays as it was, so the length never changes.
std::string ConvertCase(std::string_view s, CodePage cp, wint_t (*convert_wide)(wint_t),
                        char (*convert_ascii)(char)) {
  std::string out(s);
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t len = CharLengthAt(s, pos, cp);
    if (len == 1) {
      out[pos] = convert_ascii(s[pos]);
    } else if (cp == CodePage::kUtf8) {
      const char32_t c = DecodeUtf8(s, pos, len);
      const auto converted = static_cast<char32_t>(convert_wide(static_cast<wint_t>(c)));
      const std::string encoded = EncodeUtf8(converted);
      if (encoded.size() == len) out.replace(pos, len, encoded);
    }
    pos += len;
  }
  return out;
}

int CompareBytesIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
    const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// `s` as wide characters of the current LC_CTYPE, case-folded; false when `s` is not valid
// there or holds a zero byte (which would end the comparison early).
bool ToFoldedWide(std::string_view s, std::wstring& out) {
  out.clear();
  std::mbstate_t state{};
  for (std::size_t pos = 0; pos < s.size();) {
    wchar_t wc = 0;
    const std::size_t n = std::mbrtowc(&wc, s.data() + pos, s.size() - pos, &state);
    if (n == 0 || n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2))
      return false;
    out += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc)));
    pos += n;
  }
  return true;
}

bool IsPlainLocale(const char* name) {
  return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (ok()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool ok() const { return cd_ != kFailed; }
  iconv_t get() const { return cd_; }

 private:
  static inline const iconv_t kFailed = (iconv_t)-1;  // iconv_open's failure value
  iconv_t cd_;
};

std::optional<std::string> Convert(std::string_view in, const char* to, const char* from) {
  IconvHandle cd(to, from);
  if (!cd.ok()) return std::nullopt;
  std::vector<char> input(in.begin(), in.end());
  char* src = input.data();
  std::size_t src_left = input.size();
  std::string out;
  char buffer[1024];
  while (src_left > 0) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t r = iconv(cd.get(), &src, &src_left, &dst, &dst_left);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    // EILSEQ: no such character; EINVAL: a sequence cut off at the end.
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return std::nullopt;
  }
  char* dst = buffer;
  std::size_t dst_left = sizeof buffer;
  if (iconv(cd.get(), nullptr, nullptr, &dst, &dst_left) == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.append(buffer, static_cast<std::size_t>(dst - buffer));
  return out;
}

}  // namespace

CodePage SystemCodePage() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr) return CodePage::kUtf8;
  for (const char* name : {"UTF-8", "UTF8", "ANSI_X3.4-1968", "ASCII", "US-ASCII"})
    if (strcasecmp(codeset, name) == 0) return CodePage::kUtf8;
  for (const char* name : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI"})
    if (strcasecmp(codeset, name) == 0) return CodePage::kShiftJis;
  return CodePage::kSingleByte;
}

std::size_t CharLengthAt(std::string_view s, std::size_t pos, CodePage cp) {
  if (pos >= s.size()) return 0;
  switch (cp) {
    case CodePage::kUtf8:
      return Utf8Length(s, pos);
    case CodePage::kShiftJis:
      if (IsSjisLead(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size() &&
          IsSjisTrail(static_cast<unsigned char>(s[pos + 1])))
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

std::string AnsiUpperCase(std::string_view s, CodePage cp) {
  return ConvertCase(
      s, cp, [](wint_t c) { return std::towupper(c); }, AsciiUpper);
}

std::string AnsiLowerCase(std::string_view s, CodePage cp) {
  return ConvertCase(
      s, cp, [](wint_t c) { return std::towlower(c); }, AsciiLower);
}

AnsiTextKey::AnsiTextKey(std::string_view s) : text(s) {
  if (!IsPlainLocale(std::setlocale(LC_COLLATE, nullptr))) has_folded = ToFoldedWide(s, folded);
}

int CompareAnsiTextKeys(const AnsiTextKey& a, const AnsiTextKey& b) {
  if (!a.has_folded || !b.has_folded) return CompareBytesIgnoringAsciiCase(a.text, b.text);
  const int r = std::wcscoll(a.folded.c_str(), b.folded.c_str());
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  if (IsPlainLocale(std::setlocale(LC_COLLATE, nullptr)))
    return CompareBytesIgnoringAsciiCase(a, b);
  std::wstring wa, wb;
  if (!ToFoldedWide(a, wa) || !ToFoldedWide(b, wb)) return CompareBytesIgnoringAsciiCase(a, b);
  const int r = std::wcscoll(wa.c_str(), wb.c_str());
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  return Convert(utf8, "CP932", "UTF-8");
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  return Convert(cp932, "UTF-8", "CP932");
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t length = Utf8Length(s, at);
    if (length == 1 && static_cast<unsigned char>(s[at]) >= 0x80) return false;
    at += length;
  }
  return true;
}

bool HasHighBytes(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace kel
