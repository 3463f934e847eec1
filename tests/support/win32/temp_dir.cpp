// The Windows side of the test helpers: a fresh folder of the test's own in the temporary
// folder.
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <random>

namespace kel::test {

TempDir::TempDir() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("kel-test-" + std::to_string(random()));
    // CreateDirectoryW fails on anything that stands there: the folder is this test's alone.
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate.string();
      return;
    }
  }
  ADD_FAILURE() << "cannot make a temporary folder in " << base.string();
}

}  // namespace kel::test
