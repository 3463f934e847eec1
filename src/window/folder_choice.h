// The folder buttons: the folder dialog's choice put into a folder field.
#pragma once

#include <optional>
#include <string>

#include "platform/exceptions.h"
#include "platform/path_syntax.h"

namespace kel {

class TEdit;
class TFolderBrowser;

// The chosen folder's path has bytes that a folder field cannot hold (no text in the system
// code page, such as a lone Shift-JIS lead byte in a UTF-8 name): put into the field, it would
// come back as another path.
class EFolderName : public Exception {
 public:
  EFolderName();
  const char* ClassName() const noexcept override { return "EFolderName"; }
};

// The text a folder button puts into its field for the chosen `folder`: the folder with a
// separator appended unless its last whole character already is one, so a Shift-JIS name whose
// last trail byte is 0x5C still gets one. Nothing when `folder` names no existing directory
// (an empty path names none).
std::optional<std::string> ChosenFolderFieldText(const std::string& folder,
                                                 const PathSyntax& syntax);

// Button2Click and Button3Click: runs `browser`'s dialog; on confirm puts the chosen folder
// into `field` as ChosenFolderFieldText says. A cancelled dialog or a choice that is no
// existing directory leaves the field alone and reports nothing; a folder whose path the field
// cannot hold (TEdit::Holds) or that has no path in the code page at all
// (TFolderBrowser::FolderOutsideCodePage) leaves it alone and raises EFolderName. Exceptions of Execute
// pass.
void ChooseFolderInto(TFolderBrowser& browser, TEdit& field,
                      const PathSyntax& syntax = PathSyntax::Native());

}  // namespace kel
