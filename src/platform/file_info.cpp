// The questions about a path that both systems answer from QueryFileStatus.
#include "platform/file_info.h"

namespace kel {

uint32_t FileGetAttr(const std::string& path) {
  const auto status = QueryFileStatus(path);
  return status ? status->attributes : kInvalidAttributes;
}

bool DirectoryExists(const std::string& path) {
  const auto status = QueryFileStatus(path);
  return status && status->is_directory;
}

bool IsRegularFile(const std::string& path) {
  const auto status = QueryFileStatus(path);
  return status && status->is_regular;
}

}  // namespace kel
