#include "zip/file_cut.h"

#include <unistd.h>

namespace kel {

bool CutFileTo(const File& file, uint64_t size) noexcept {
  return file.IsOpen() && ::ftruncate(file.Descriptor(), static_cast<off_t>(size)) == 0;
}

}  // namespace kel
