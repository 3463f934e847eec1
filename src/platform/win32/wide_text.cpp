#include "platform/win32/wide_text.h"

#include <climits>
#include <cstdio>

#include "platform/code_page.h"

namespace kel::win32 {

namespace {

// Paths this long or longer take the "\\?\" form: MAX_PATH less the 8.3 name that CreateDirectoryW
// keeps room for.
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

bool FitsInt(std::size_t size) { return size <= static_cast<std::size_t>(INT_MAX); }

}  // namespace

UINT TextCodePage() noexcept { return SystemCodePage() == CodePage::kUtf8 ? CP_UTF8 : GetACP(); }

std::optional<std::wstring> WideFromBytes(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return std::wstring();
  if (!FitsInt(bytes.size())) return std::nullopt;
  const int length = static_cast<int>(bytes.size());
  const int needed =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(),
                          needed) != needed)
    return std::nullopt;
  return wide;
}

std::optional<std::string> BytesFromWide(std::wstring_view wide, UINT code_page) {
  if (wide.empty()) return std::string();
  if (!FitsInt(wide.size())) return std::nullopt;
  const int length = static_cast<int>(wide.size());
  // UTF-8 takes neither flag nor default character; the other code pages report a character
  // without a form and never put a look-alike in its place.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used = utf8 ? nullptr : &used_default;
  const int needed =
      WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr, used);
  if (needed <= 0 || used_default) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(code_page, flags, wide.data(), length, bytes.data(), needed, nullptr,
                          used) != needed ||
      used_default)
    return std::nullopt;
  // The way back must give the very same characters: no system is trusted to report every loss.
  const std::optional<std::wstring> back = WideFromBytes(bytes, code_page);
  if (!back || *back != wide) return std::nullopt;
  return bytes;
}

std::optional<std::wstring> WideFromText(std::string_view text) {
  return WideFromBytes(text, TextCodePage());
}

std::optional<std::string> TextFromWide(std::wstring_view wide) {
  return BytesFromWide(wide, TextCodePage());
}

std::string DescribeWide(std::wstring_view wide) {
  const UINT code_page = TextCodePage();
  std::string text;
  for (std::size_t at = 0; at < wide.size();) {
    // One character: a surrogate pair, or one unit.
    std::size_t units = 1;
    if (IS_HIGH_SURROGATE(wide[at]) && at + 1 < wide.size() && IS_LOW_SURROGATE(wide[at + 1]))
      units = 2;
    const std::wstring_view character = wide.substr(at, units);
    if (const auto bytes = BytesFromWide(character, code_page)) {
      text += *bytes;
    } else {
      const unsigned long code =
          units == 2 ? 0x10000ul + ((static_cast<unsigned long>(character[0]) - 0xD800) << 10) +
                           (static_cast<unsigned long>(character[1]) - 0xDC00)
                     : static_cast<unsigned long>(character[0]);
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "<U+%04lX>", code);
      text += escaped;
    }
    at += units;
  }
  return text;
}

std::wstring LongPathForm(const std::wstring& path) {
  if (path.size() < kPlainPathLimit || path.starts_with(L"\\\\?\\")) return path;
  // The "\\?\" form is taken as it stands: "/", "." and ".." must be resolved first.
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::optional<std::wstring> SystemPath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  std::optional<std::wstring> wide = WideFromText(path);
  if (!wide) return std::nullopt;
  return LongPathForm(*wide);
}

}  // namespace kel::win32
