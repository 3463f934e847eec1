// kelvarin-batch's language: its own texts in the user's language (platform/translation.h),
// the system's messages unchanged, and for users who do not read Japanese an English line that
// says what such a message means.
#pragma once

#include <string>

#include "platform/exceptions.h"

namespace kel {

// Starts this run's translation with the program's catalogues: those built beside the program
// when it runs from the build tree, else the installed ones. After setlocale, before threads.
void StartBatchLanguage();

// True when this run's own texts are not in Japanese: each Japanese message of the system's
// then gets an English line (EnglishMeaning).
bool ExplainInEnglish();

// The reason beside a failure's message in this run's language (the window shows the system's
// own, ReasonText). Empty for Reason::kNone.
std::string TranslatedReasonText(const Reason& reason);

// What the system's (Japanese) message `message` of the exception class `class_name`
// (Exception::ClassName) means, in English and without a closing period; names in it are
// taken from the message. Empty when the message is not one of the system's Japanese texts
// (EGZipError's are English already) or does not have the form its class gives it.
std::string EnglishMeaning(const std::string& class_name, const std::string& message);

}  // namespace kel
