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

std::string ReasonLine(std::string_view message, const Reason& reason,
                       const std::string& reason_text) {
  std::string line;
  if (!reason.path.empty() && message.find(reason.path) == std::string_view::npos)
    line = reason.path;
  if (!reason_text.empty() && ReasonText(reason) != message) {
    if (!line.empty()) line += ": ";
    line += reason_text;
  }
  return line;
}

}  // namespace kel
