// The text of a folder field as the folder buttons leave it.
#pragma once

#include <string>

#include "platform/path_syntax.h"

namespace kel {

// `path` as the folder buttons put a chosen folder into a field: with a separator appended
// unless its last whole character already is one (a Shift-JIS trail byte 0x5C is not).
std::string FolderFieldText(const std::string& path, const PathSyntax& syntax);

// Raises EFolderError unless `text` names an existing folder (links followed): kNotFound when
// nothing (or nothing reachable) is there, kNotAFolder for a file. An empty text is not
// checked here: the caller says which field is empty.
void CheckFolderField(const std::string& text, const PathSyntax& syntax);

}  // namespace kel
