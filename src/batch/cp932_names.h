// Names and index lines in Microsoft code page 932 (Shift-JIS as Japanese Windows writes it),
// for recipients whose tools read only that. The file system's names are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "platform/path_syntax.h"
#include "platform/string_list.h"

namespace kel {

// A file whose name cannot be written in CP932: a character without a CP932 form, bytes that
// are neither UTF-8 nor CP932, or a character that CP932 turns into 0x5C, which Windows reads as a
// folder separator ("\" itself, and "¥", which glibc's table maps to 0x5C).
class ECp932Name : public Exception {
 public:
  explicit ECp932Name(const std::string& source_path);
  const char* ClassName() const noexcept override { return "ECp932Name"; }
};

// The CP932 form of the UTF-8 `name` (composed where it has none as it is: Utf8NameToCp932), or
// a name that is valid CP932 but not UTF-8 as it is; nothing under the rules above.
std::optional<std::string> Cp932Name(const std::string& name);

// Raises ECp932Name for the first of `sources` whose file name (split by `syntax`) has no CP932
// form under the rules above.
void CheckCp932Names(const std::vector<std::string>& sources, const PathSyntax& syntax);

// `lines` with every line in CP932; raises ECp932Name(line) for a line without a CP932 form
// (cannot happen once CheckCp932Names passed for the files the lines name).
TStringList Cp932Lines(const TStringList& lines);

}  // namespace kel
