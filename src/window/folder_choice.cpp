#include "window/folder_choice.h"

#include "browse/folder_browser.h"
#include "gui/std_controls.h"
#include "platform/file_info.h"

namespace kel {

// "The folder name contains characters that cannot be used."
EFolderName::EFolderName() : Exception("フォルダ名に使えない文字が含まれています") {}

std::optional<std::string> ChosenFolderFieldText(const std::string& folder,
                                                 const PathSyntax& syntax) {
  if (folder.empty() || !DirectoryExists(folder)) return std::nullopt;
  if (syntax.EndsWithSeparator(folder)) return folder;
  return folder + syntax.Separator();
}

void ChooseFolderInto(TFolderBrowser& browser, TEdit& field, const PathSyntax& syntax) {
  if (!browser.Execute()) return;
  if (browser.FolderOutsideCodePage) throw EFolderName();
  const std::optional<std::string> text = ChosenFolderFieldText(browser.Folder, syntax);
  if (!text) return;
  if (!TEdit::Holds(*text)) throw EFolderName();
  field.SetText(*text);
}

}  // namespace kel
