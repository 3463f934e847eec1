// The one place that decides which file names a run refuses. Both front ends ask it for every
// entry of the source folder before anything is written, so a name that would forge a line of
// "files.txt", escape the recipient's folder or name another file on the recipient's system
// never reaches an archive.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/path_syntax.h"

namespace kel {

// Why a character is refused.
enum class NameFault {
  kControlCharacter,  // a line break or other control character
  kCannotName,        // "\", and on Windows one of : * ? " < > | as well
};

struct RefusedCharacter {
  NameFault fault = NameFault::kControlCharacter;
  std::string character;  // its bytes as they stand in the name
};

// The first character of `name` (a file's own name as the folder listing gives it, in the code
// page of `syntax`) that a run refuses, or nothing:
// - a control character (ControlLengthAt): bytes below 0x20 and 0x7F; in a name that is valid
//   UTF-8 under the UTF-8 code page also the C1 controls and U+2028, U+2029. A name that is not
//   valid UTF-8 there (raw Shift-JIS from old media) is not decoded and stays allowed;
// - "\" under every syntax: Windows and its Zip tools read it as a folder separator, so a name
//   such as "..\..\x.txt" would reach outside the recipient's folder;
// - under the Windows syntax also : * ? " < > |, which no Windows name can hold; such names come
//   only from another system (a Samba share, Wine), and opening one would name another file.
// A byte that is the trail byte of a double-byte character (0x5C in the Shift-JIS "表") is no
// character of its own; a name that is not valid UTF-8 under the UTF-8 code page is walked as
// Shift-JIS for this.
std::optional<RefusedCharacter> FindRefusedCharacter(std::string_view name,
                                                     const PathSyntax& syntax);

// Raises EBadFileName (a control character) or EBadNameCharacter (any other refused character)
// naming `path` when FindRefusedCharacter finds something in `name`, the file's own name.
void CheckFileName(const std::string& path, std::string_view name, const PathSyntax& syntax);

}  // namespace kel
