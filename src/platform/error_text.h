// The text the error display shows for a message: a period is appended unless the message is
// empty or ends in a single-byte character of code 0x2E or lower ("." itself, "!", ")", ",",
// "-", a space). A multi-byte last character (a Japanese character, also "。") always gets one.
#pragma once

#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/exceptions.h"

namespace kel {

std::string MessageWithPeriod(std::string_view message, CodePage cp);

// What is shown after a failure's message: the path the reason names and `reason_text` (the
// reason in the front end's language), joined by ": ". The path is left out where the message
// names it already, the text where the reason's own text (ReasonText) only repeats the message
// (an EInOutError of the same number). Empty when neither is left.
std::string ReasonLine(std::string_view message, const Reason& reason,
                       const std::string& reason_text);

}  // namespace kel
