// `archive` is in the program's code page, the expected names in UTF-8.
// Under Wine the outside readers cannot be run from the test (a Windows process cannot wait for
// a Linux program): each archive is copied, with what it must hold, into the folder that
// KEL_ZIP_CHECK_DIR names, and the Linux side checks them all with check_zip.py once the Windows
// tests have run (tests/support/check_deferred.py, the CTest
// "outside_readers_of_windows_archives").
#include "support/zip_readers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/win32/wide_text.h"
#include "support/temp_dir.h"

namespace kel::test {

namespace {

namespace fs = std::filesystem;

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

void Put(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path.string();
}

// A folder name of its own for each check: the test's name and a random part.
std::string CaseName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "check";
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') c = '_';
  std::random_device random;
  return name + "-" + std::to_string(random());
}

}  // namespace

void ExpectArchiveReadable(const std::string& archive, const ZipEntries& expected,
                           const std::string& name_encoding) {
  const char* root = std::getenv("KEL_ZIP_CHECK_DIR");
  if (root == nullptr || *root == '\0') {
    ADD_FAILURE() << "KEL_ZIP_CHECK_DIR is not set: nowhere to leave " << archive
                  << " for the outside readers";
    return;
  }
  const fs::path folder = fs::path(root) / CaseName();
  std::error_code error;
  fs::create_directories(folder, error);
  // The archive's path is in the program's code page, as the program's own paths are.
  fs::copy_file(fs::path(win32::WideFromText(archive).value_or(L"?")), folder / "archive.zip",
                error);
  if (error) {
    ADD_FAILURE() << "cannot copy " << archive << " for the outside readers: " << error.message();
    return;
  }
  std::string manifest = "{\"entries\": [";
  int index = 0;
  for (const auto& [name, content] : expected) {
    Put(folder / std::to_string(index), content);
    if (index > 0) manifest += ", ";
    manifest += "[\"" + Hex(name) + "\", " + std::to_string(index) + "]";
    ++index;
  }
  manifest += "], \"encoding\": \"" + name_encoding + "\", \"archive\": \"" + Hex(archive) + "\"}";
  Put(folder / "manifest.json", manifest);
}

}  // namespace kel::test
