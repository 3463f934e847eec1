#include "platform/unicode_normalize.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace kel {

std::optional<std::string> ComposedUtf8(std::string_view utf8) {
  const std::optional<std::wstring> wide = win32::WideFromBytes(utf8, CP_UTF8);
  if (!wide) return std::nullopt;
  if (wide->empty()) return std::string();
  const int source_length = static_cast<int>(wide->size());
  // The first call estimates the length; composition can still need more, which the system
  // says with ERROR_INSUFFICIENT_BUFFER and a new estimate (a negative one).
  int estimate = NormalizeString(NormalizationC, wide->data(), source_length, nullptr, 0);
  for (int attempt = 0; attempt < 4 && estimate > 0; ++attempt) {
    std::wstring composed(static_cast<std::size_t>(estimate), L'\0');
    const int length =
        NormalizeString(NormalizationC, wide->data(), source_length, composed.data(), estimate);
    if (length > 0) {
      composed.resize(static_cast<std::size_t>(length));
      return win32::BytesFromWide(composed, CP_UTF8);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    estimate = -length;
  }
  return std::nullopt;
}

}  // namespace kel
