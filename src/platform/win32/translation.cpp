// Windows has no gettext: the Japanese texts of po/ja.po are built into the program as a table
// (po/po_table.cmake writes japanese_texts.inc) and used when the user's interface language is
// Japanese, as Windows itself chooses the language of its own texts. Catalogue folders are not
// used.
#include "platform/translation.h"

#include <windows.h>

#include <cstring>

namespace kel {

namespace {

struct TranslatedText {
  const char* msgid;
  const char* msgstr;  // Japanese has one form for every count
};

// In the order of po/ja.po; entries without a translation or marked fuzzy are left out.
constexpr TranslatedText kJapaneseTexts[] = {
#include "japanese_texts.inc"
};

bool JapaneseInterface() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE; }

// The Japanese text for `msgid`; nullptr when the table has none. A few dozen entries, looked up
// a few dozen times a run: a linear search is enough.
const char* Japanese(const char* msgid) {
  for (const TranslatedText& text : kJapaneseTexts)
    if (std::strcmp(text.msgid, msgid) == 0) return text.msgstr;
  return nullptr;
}

}  // namespace

void InitTranslation(const TranslationSetup&) {}

const char* Translate(const char* msgid) {
  if (!JapaneseInterface()) return msgid;
  const char* text = Japanese(msgid);
  return text ? text : msgid;
}

const char* TranslatePlural(const char* singular, const char* plural, unsigned long n) {
  if (JapaneseInterface()) {
    if (const char* text = Japanese(singular)) return text;
  }
  return n == 1 ? singular : plural;
}

TextLanguage TranslationLanguage() {
  return JapaneseInterface() ? TextLanguage::kJapanese : TextLanguage::kEnglish;
}

}  // namespace kel
