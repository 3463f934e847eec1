#include "platform/error_text.h"

namespace kel {

std::string MessageWithPeriod(std::string_view message, CodePage cp) {
  std::string text(message);
  if (text.empty()) return text;
  const std::size_t last = LastCharStart(text, cp);
  const bool multi_byte = CharLengthAt(text, last, cp) > 1;
  if (multi_byte || static_cast<unsigned char>(text[last]) > '.') text += '.';
  return text;
}

}  // namespace kel
