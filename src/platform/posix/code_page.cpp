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

#include "platform/code_page_system.h"

// The POSIX side of the code-page helpers: the C library's locale (LC_CTYPE, LC_COLLATE) is the
// text's code page and collation; conversions to and from CP932 go through iconv.

namespace kel {
namespace {

// The UTF-8 sequence of `len` bytes at `pos` (already checked to be well formed) as a code point.
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

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) {
    wchar_t wc = 0;
    // The locales' character sets are stateless ASCII supersets, so a byte below 0x80 at a
    // character's start is that character: no need to ask the converter, the slow part of a
    // sort key.
    const auto byte = static_cast<unsigned char>(s[pos]);
    if (byte != 0 && byte < 0x80) {
      out += static_cast<wchar_t>(std::towlower(byte));
      ++pos;
      continue;
    }
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

namespace code_page_system {

// POSIX has no ANSI code page; SystemCodePage never answers kSystemDoubleByte here.
bool IsAnsiLeadByte(unsigned char) noexcept { return false; }

std::optional<std::string> ConvertCharCase(std::string_view ch, CodePage cp, bool upper) {
  // Only UTF-8 characters have a case the C library knows; Shift-JIS double-byte characters are
  // left alone.
  if (cp != CodePage::kUtf8) return std::nullopt;
  const char32_t c = DecodeUtf8(ch, 0, ch.size());
  const auto wide = static_cast<wint_t>(c);
  return EncodeUtf8(static_cast<char32_t>(upper ? std::towupper(wide) : std::towlower(wide)));
}

}  // namespace code_page_system

CodePage SystemCodePage() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr) return CodePage::kUtf8;
  for (const char* name : {"UTF-8", "UTF8", "ANSI_X3.4-1968", "ASCII", "US-ASCII"})
    if (strcasecmp(codeset, name) == 0) return CodePage::kUtf8;
  for (const char* name : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI"})
    if (strcasecmp(codeset, name) == 0) return CodePage::kShiftJis;
  return CodePage::kSingleByte;
}

// The locale is what chooses on POSIX.
void ChooseTextCodePage(TextChoice) noexcept {}

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

}  // namespace kel
