#include "batch/cp932_names.h"

#include "platform/code_page.h"

namespace kel {

// "The name of file X cannot be written in Shift-JIS (CP932)."
ECp932Name::ECp932Name(const std::string& source_path)
    : Exception("ファイル " + source_path + " の名前はシフト JIS (CP932) で書けません") {}

std::optional<std::string> Cp932Name(const std::string& name) {
  // A name that is not UTF-8 but CP932 already (from old Japanese media) is kept as it is.
  std::optional<std::string> converted =
      IsValidUtf8(name) ? Utf8NameToCp932(name)
                        : (Cp932ToUtf8(name) ? std::optional<std::string>(name) : std::nullopt);
  if (!converted) return std::nullopt;
  for (std::size_t at = 0; at < converted->size();) {
    const std::size_t length = CharLengthAt(*converted, at, CodePage::kShiftJis);
    if (length == 1 && (*converted)[at] == '\\') return std::nullopt;
    at += length;
  }
  return converted;
}

void CheckCp932Names(const std::vector<std::string>& sources, const PathSyntax& syntax) {
  for (const std::string& source : sources)
    if (!Cp932Name(syntax.ExtractFileName(source))) throw ECp932Name(source);
}

TStringList Cp932Lines(const TStringList& lines) {
  TStringList converted;
  for (const std::string& line : lines.Items()) {
    std::optional<std::string> text = Cp932Name(line);
    if (!text) throw ECp932Name(line);
    converted.Add(std::move(*text));
  }
  return converted;
}

}  // namespace kel
