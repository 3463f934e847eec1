// Conversion between the program's 8-bit text (bytes in the system code page) and Qt's strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kel {

// UTF-8 bytes that are not valid become U+FFFD; Shift-JIS text that is not valid CP932 is shown
// byte by byte as Latin-1.
QString ToQString(std::string_view text);
// Characters without a form in the code page become "?".
std::string FromQString(const QString& text);

}  // namespace kel
