#include "job/archive_step.h"

#include "zip/zip_builder.h"

namespace kel {

const char* const kCompletionText = "圧縮が完了しました．";

std::string ProgressText(int32_t index, int32_t file_count) {
  return "(" + std::to_string(index) + "/" + std::to_string(file_count - 1) + ")";
}

void ArchiveFile(TZipBuilder& builder, const std::string& archive_path,
                 const std::string& source_path, const std::string& base_dir) {
  try {
    builder.OpenArchive(archive_path, base_dir);
    builder.AddFileToArchive(source_path);
    builder.CloseArchive();
  } catch (...) {
    builder.DiscardArchive();
    throw;
  }
}

}  // namespace kel
