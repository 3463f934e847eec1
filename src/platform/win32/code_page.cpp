#include "platform/code_page.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/code_page_system.h"
#include "platform/win32/wide_text.h"

// The Windows side of the code-page helpers: the ANSI code page (or UTF-8) is the text's code
// page, and the user's locale (CompareStringEx, LCMapStringEx) compares and converts case.

namespace kel {
namespace {

// Whether this run's 8-bit text is UTF-8 instead of the ANSI code page. It is the process's
// counterpart of the C library's LC_CTYPE on POSIX: set once at start-up, before any other
// thread, and only read afterwards; a value per call would have to reach every path that
// crosses the platform layer.
std::atomic<bool>& Utf8Chosen() {
  static std::atomic<bool> chosen{false};
  return chosen;
}

// The Windows code page number of `cp` as the helpers below use it.
UINT CodePageNumber(CodePage cp) {
  switch (cp) {
    case CodePage::kUtf8:
      return CP_UTF8;
    case CodePage::kShiftJis:
      return 932;
    case CodePage::kSystemDoubleByte:
    case CodePage::kSingleByte:
      break;
  }
  return CP_ACP;
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

// CompareStringEx of two whole wide strings, ignoring case; 2 (equal) when it fails.
int CompareWide(const std::wstring& a, const std::wstring& b) {
  const int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                nullptr, nullptr, 0);
  return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

}  // namespace

CodePage SystemCodePage() {
  if (Utf8Chosen().load(std::memory_order_relaxed)) return CodePage::kUtf8;
  const UINT acp = GetACP();
  if (acp == CP_UTF8) return CodePage::kUtf8;
  CPINFO info{};
  if (GetCPInfo(acp, &info) && info.MaxCharSize == 2) return CodePage::kSystemDoubleByte;
  return CodePage::kSingleByte;
}

void ChooseTextCodePage(TextChoice choice) noexcept {
  Utf8Chosen().store(choice == TextChoice::kUtf8, std::memory_order_relaxed);
}

namespace code_page_system {

bool IsAnsiLeadByte(unsigned char c) noexcept { return IsDBCSLeadByteEx(CP_ACP, c) != FALSE; }

std::optional<std::string> ConvertCharCase(std::string_view ch, CodePage cp, bool upper) {
  const UINT number = CodePageNumber(cp);
  const std::optional<std::wstring> wide = win32::WideFromBytes(ch, number);
  if (!wide || wide->empty()) return std::nullopt;
  const DWORD flags = (upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE) | LCMAP_LINGUISTIC_CASING;
  wchar_t converted[8];
  const int length =
      LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide->data(), static_cast<int>(wide->size()),
                    converted, static_cast<int>(std::size(converted)), nullptr, nullptr, 0);
  if (length <= 0) return std::nullopt;
  return win32::BytesFromWide(std::wstring_view(converted, static_cast<std::size_t>(length)),
                              number);
}

}  // namespace code_page_system

AnsiTextKey::AnsiTextKey(std::string_view s) : text(s) {
  // The wide form; CompareStringEx ignores case itself.
  if (std::optional<std::wstring> wide = win32::WideFromText(s)) {
    folded = std::move(*wide);
    has_folded = true;
  }
}

int CompareAnsiTextKeys(const AnsiTextKey& a, const AnsiTextKey& b) {
  if (!a.has_folded || !b.has_folded) return CompareBytesIgnoringAsciiCase(a.text, b.text);
  return CompareWide(a.folded, b.folded);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  return CompareAnsiTextKeys(AnsiTextKey(a), AnsiTextKey(b));
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  const std::optional<std::wstring> wide = win32::WideFromBytes(utf8, CP_UTF8);
  if (!wide) return std::nullopt;
  return win32::BytesFromWide(*wide, 932);
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  const std::optional<std::wstring> wide = win32::WideFromBytes(cp932, 932);
  if (!wide) return std::nullopt;
  return win32::BytesFromWide(*wide, CP_UTF8);
}

}  // namespace kel
