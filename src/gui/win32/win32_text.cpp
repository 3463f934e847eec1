#include "gui/win32/win32_text.h"

#include <climits>

#include "platform/win32/wide_text.h"

namespace kel::win32 {

std::wstring ToWide(std::string_view text) {
  if (std::optional<std::wstring> exact = WideFromText(text)) return *exact;
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return std::wstring();
  // Without MB_ERR_INVALID_CHARS the system puts its replacement character where the bytes are
  // no text.
  const UINT code_page = TextCodePage();
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), length, wide.data(), needed);
  return wide;
}

std::string FromWide(std::wstring_view wide) {
  if (std::optional<std::string> exact = TextFromWide(wide)) return *exact;
  std::string text;
  for (std::size_t at = 0; at < wide.size();) {
    std::size_t units = 1;
    if (IS_HIGH_SURROGATE(wide[at]) && at + 1 < wide.size() && IS_LOW_SURROGATE(wide[at + 1]))
      units = 2;
    const std::optional<std::string> one = TextFromWide(wide.substr(at, units));
    text += one ? *one : std::string("?");
    at += units;
  }
  return text;
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

}  // namespace kel::win32
