#include "job/folder_field.h"

namespace kel {

std::string FolderFieldText(const std::string& path, const PathSyntax& syntax) {
  return syntax.IncludeTrailingSeparator(path);
}

}  // namespace kel
