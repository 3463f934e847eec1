// A font as a window description names it. The backend picks the nearest font it has.
#pragma once

#include <string>

namespace kel {

// The Shift-JIS character set number of the classic font records.
inline constexpr int kShiftJisCharset = 128;

struct TFont {
  std::string Name = "ＭＳ Ｐゴシック";  // in the system code page
  int Height = -12;  // negative: character height in pixels; positive: cell height
  int Charset = kShiftJisCharset;
};

}  // namespace kel
