#include "job/name_text.h"

#include <cstdio>

namespace kel {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool IsUnicodeText(std::string_view name, CodePage cp) {
  return cp == CodePage::kUtf8 && HasHighBytes(name) && IsValidUtf8(name);
}

}  // namespace

std::size_t ControlLengthAt(std::string_view name, std::size_t pos, bool unicode) {
  if (pos >= name.size()) return 0;
  const auto byte = static_cast<unsigned char>(name[pos]);
  if (IsControl(byte)) return 1;
  if (!unicode) return 0;
  // In valid UTF-8 these bytes can only start the characters they encode.
  const std::string_view rest = name.substr(pos);
  if (byte == 0xC2 && rest.size() >= 2 && static_cast<unsigned char>(rest[1]) <= 0x9F) return 2;
  if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;
  return 0;
}

bool HasControlCharacters(std::string_view name, CodePage cp) {
  const bool unicode = IsUnicodeText(name, cp);
  for (std::size_t pos = 0; pos < name.size(); ++pos)
    if (ControlLengthAt(name, pos, unicode) != 0) return true;
  return false;
}

std::string EscapedName(std::string_view name) {
  const CodePage cp = SystemCodePage();
  if (!HasControlCharacters(name, cp)) return std::string(name);
  const bool unicode = IsUnicodeText(name, cp);
  std::string text;
  text.reserve(name.size() + 8);
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t length = ControlLengthAt(name, pos, unicode);
    const char c = name[pos];
    char escape[8];
    if (length == 0) {
      text += c;
      ++pos;
      continue;
    }
    if (c == '\t') {
      text += "\\t";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (length == 1) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
      text += escape;
    } else {
      const unsigned code = length == 2 ? static_cast<unsigned char>(name[pos + 1])
                                        : 0x2000u + (static_cast<unsigned char>(name[pos + 2]) - 0x80u);
      std::snprintf(escape, sizeof escape, "\\u%04x", code);
      text += escape;
    }
    pos += length;
  }
  return text;
}

}  // namespace kel
