// GNU gettext from glibc. The catalogue is found by the locale's language (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG) and converted to the locale's character set by gettext itself.
#include "platform/translation.h"

#include <libintl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace kel {

namespace {

// The folder of the running executable, or "" where the system does not say.
std::string ProgramDir() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "";
  const std::string_view exe(path, static_cast<std::size_t>(length));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string_view::npos ? "" : std::string(exe.substr(0, slash));
}

// `dir` with its links resolved, as /proc/self/exe reports the executable's.
std::string Resolved(const char* dir) {
  const std::unique_ptr<char, decltype(&::free)> resolved(::realpath(dir, nullptr), &::free);
  return resolved ? resolved.get() : dir;
}

}  // namespace

void InitTranslation(const TranslationSetup& setup) {
  const bool in_build_tree = setup.build_program_dir && setup.build_catalogues &&
                             ProgramDir() == Resolved(setup.build_program_dir);
  const char* catalogues = in_build_tree ? setup.build_catalogues : setup.installed_catalogues;
  if (catalogues) ::bindtextdomain(setup.domain, catalogues);
  ::textdomain(setup.domain);
}

const char* Translate(const char* msgid) { return ::gettext(msgid); }

const char* TranslatePlural(const char* singular, const char* plural, unsigned long n) {
  return ::ngettext(singular, plural, n);
}

TextLanguage TranslationLanguage() {
  // The empty msgid gives the header of the catalogue in use, "" when there is none; its
  // Language field names the catalogue's language (po/ja.po says "ja").
  const std::string_view header = ::gettext("");
  std::size_t at = header.find("Language: ");
  if (at == std::string_view::npos) return TextLanguage::kEnglish;
  at += std::strlen("Language: ");
  const std::string_view language = header.substr(at, header.find('\n', at) - at);
  return language == "ja" || language.starts_with("ja_") ? TextLanguage::kJapanese
                                                         : TextLanguage::kEnglish;
}

}  // namespace kel
