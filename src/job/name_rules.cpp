#include "job/name_rules.h"

#include "job/job_errors.h"
#include "job/name_text.h"

namespace kel {
namespace {

constexpr std::string_view kNotInWindowsNames = ":*?\"<>|";

}  // namespace

std::optional<RefusedCharacter> FindRefusedCharacter(std::string_view name,
                                                     const PathSyntax& syntax) {
  const bool utf8_run = syntax.code_page == CodePage::kUtf8;
  const bool unicode = utf8_run && IsValidUtf8(name);
  const CodePage walk = utf8_run && !unicode ? CodePage::kShiftJis : syntax.code_page;
  const bool windows = syntax.style == PathStyle::kWindows;
  for (std::size_t pos = 0; pos < name.size();) {
    if (const std::size_t control = ControlLengthAt(name, pos, unicode); control != 0)
      return RefusedCharacter{NameFault::kControlCharacter, std::string(name.substr(pos, control))};
    const std::size_t length = CharLengthAt(name, pos, walk);
    if (length == 1 && (name[pos] == '\\' ||
                        (windows && kNotInWindowsNames.find(name[pos]) != std::string_view::npos)))
      return RefusedCharacter{NameFault::kCannotName, std::string(1, name[pos])};
    pos += length;
  }
  return std::nullopt;
}

void CheckFileName(const std::string& path, std::string_view name, const PathSyntax& syntax) {
  const std::optional<RefusedCharacter> refused = FindRefusedCharacter(name, syntax);
  if (!refused) return;
  if (refused->fault == NameFault::kControlCharacter) throw EBadFileName(path);
  throw EBadNameCharacter(path, refused->character);
}

}  // namespace kel
