// The text the error display shows for a message: a period is appended unless the message is
// empty or ends in a single-byte character of code 0x2E or lower ("." itself, "!", ")", ",",
// "-", a space). A multi-byte last character (a Japanese character, also "。") always gets one.
#pragma once

#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace kel {

std::string MessageWithPeriod(std::string_view message, CodePage cp);

}  // namespace kel
