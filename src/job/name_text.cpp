#include "job/name_text.h"

#include <cstdio>

namespace kel {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool HasControlCharacters(std::string_view name) {
  for (char c : name)
    if (IsControl(static_cast<unsigned char>(c))) return true;
  return false;
}

std::string EscapedName(std::string_view name) {
  if (!HasControlCharacters(name)) return std::string(name);
  std::string text;
  text.reserve(name.size() + 8);
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (!IsControl(byte)) {
      text += c;
    } else if (c == '\t') {
      text += "\\t";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      text += escape;
    }
  }
  return text;
}

}  // namespace kel
