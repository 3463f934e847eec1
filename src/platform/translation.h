// The user's language for a front end's own texts (kelvarin-batch's usage, progress line,
// summaries, reasons). Those texts are written in English in the source and marked for xgettext:
// _("text") translates where it stands, N_("text") only marks a text that is translated later
// with Translate, P_(singular, plural, n) picks the form for a count. po/<language>.po holds the
// translations. The system's own texts (exception messages, progress and completion texts, the
// window) never come through here: scripts and the window rely on them as they are.
//
// POSIX: GNU gettext (glibc's libintl), with the language of the locale set by
// setlocale(LC_ALL, "") and of LANGUAGE. Windows: a table built from po/ja.po into the program,
// used when the user's interface language is Japanese. A program that never calls
// InitTranslation keeps every text in English.
#pragma once

namespace kel {

// Where a program's compiled catalogues (<dir>/<language>/LC_MESSAGES/<domain>.mo) are. Every
// pointer must stay valid while the program runs; string literals are what callers pass.
struct TranslationSetup {
  const char* domain = nullptr;
  // The build tree: the folder the program is built into, and the catalogues built beside it.
  // A program whose executable lies in `build_program_dir` uses `build_catalogues`.
  const char* build_program_dir = nullptr;
  const char* build_catalogues = nullptr;
  // Every other copy of the program (installed) uses these.
  const char* installed_catalogues = nullptr;
};

// Chooses this run's language and its catalogue. Call once at start-up, after
// setlocale(LC_ALL, "") and before a second thread starts. Never fails: without a catalogue
// for the user's language the texts stay English.
void InitTranslation(const TranslationSetup& setup);

// The translation of `msgid` in this run's language, or `msgid` itself. The result stays valid
// while the program runs.
const char* Translate(const char* msgid);

// The form of `singular`/`plural` for the count `n`, translated.
const char* TranslatePlural(const char* singular, const char* plural, unsigned long n);

// The language Translate gives its texts in for this run.
enum class TextLanguage { kEnglish, kJapanese };
TextLanguage TranslationLanguage();

}  // namespace kel

// The marks xgettext looks for (--keyword=_ --keyword=N_ --keyword=P_:1,2).
#define _(msgid) ::kel::Translate(msgid)
#define N_(msgid) msgid
#define P_(singular, plural, n) ::kel::TranslatePlural(singular, plural, n)
