#include "job/folder_field.h"

#include "job/job_errors.h"
#include "platform/file_info.h"

namespace kel {

std::string FolderFieldText(const std::string& path, const PathSyntax& syntax) {
  return syntax.IncludeTrailingSeparator(path);
}

void CheckFolderField(const std::string& text, const PathSyntax&) {
  const auto status = QueryFileStatus(text);
  if (!status) throw EFolderError(EFolderError::Kind::kNotFound, text);
  if (!status->is_directory) throw EFolderError(EFolderError::Kind::kNotAFolder, text);
}

}  // namespace kel
