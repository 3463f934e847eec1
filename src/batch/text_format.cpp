#include "batch/text_format.h"

#include <cstring>

namespace kel {

std::string Format(const char* pattern, std::initializer_list<std::string> values) {
  std::string text;
  std::size_t next = 0;  // the value the next "%s" takes
  const std::size_t length = std::strlen(pattern);
  for (std::size_t at = 0; at < length;) {
    if (pattern[at] != '%') {
      text += pattern[at++];
      continue;
    }
    if (at + 1 < length && pattern[at + 1] == '%') {
      text += '%';
      at += 2;
      continue;
    }
    if (at + 1 < length && pattern[at + 1] == 's' && next < values.size()) {
      text += values.begin()[next++];
      at += 2;
      continue;
    }
    // "%N$s"
    std::size_t digits = at + 1;
    std::size_t position = 0;
    while (digits < length && pattern[digits] >= '0' && pattern[digits] <= '9' && position < 100)
      position = position * 10 + static_cast<std::size_t>(pattern[digits++] - '0');
    if (digits > at + 1 && digits + 1 < length && pattern[digits] == '$' &&
        pattern[digits + 1] == 's' && position >= 1 && position <= values.size()) {
      text += values.begin()[position - 1];
      at = digits + 2;
      continue;
    }
    text += pattern[at++];
  }
  return text;
}

}  // namespace kel
