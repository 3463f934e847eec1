// Mask matching of names in the manner of the platform's find-first (the shared part of
// directory_lookup.h).
#include <string_view>

#include "platform/code_page.h"
#include "platform/directory_lookup.h"

namespace kel {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameChar(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// Glob matching over whole characters: "*" any run, "?" exactly one character. Backtracks
// only to the last "*", which is enough for masks of this kind.
bool MatchChars(std::string_view name, std::string_view mask, CodePage cp) {
  std::size_t n = 0, m = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    const std::size_t name_len = CharLengthAt(name, n, cp);
    if (m < mask.size()) {
      const std::size_t mask_len = CharLengthAt(mask, m, cp);
      if (mask[m] == '*') {
        star = ++m;
        star_n = n;
        continue;
      }
      if (mask[m] == '?' || SameChar(name.substr(n, name_len), mask.substr(m, mask_len))) {
        n += name_len;
        m += mask_len;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    star_n += CharLengthAt(name, star_n, cp);
    n = star_n;
    m = star;
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*" || mask == "*.*") return true;
  return MatchChars(name, mask, SystemCodePage());
}

}  // namespace kel
