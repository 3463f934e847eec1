// Cutting a file back to an earlier size, so that a failed entry or a failed central directory
// leaves nothing behind. The file layer has no truncation yet; the zip layer is its only user.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace kel {

// True when `file` now ends at `size`. Never throws.
bool CutFileTo(const File& file, uint64_t size) noexcept;

}  // namespace kel
