#include "support/zip_readers.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/temp_dir.h"

#ifndef KEL_TESTS_SOURCE_DIR
#error "KEL_TESTS_SOURCE_DIR must name the tests folder"
#endif

namespace kel::test {

namespace {
std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}
}  // namespace

void ExpectArchiveReadable(const std::string& archive, const ZipEntries& expected,
                           const std::string& name_encoding) {
  TempDir dir;
  std::string manifest = "{\"entries\": [";
  int index = 0;
  for (const auto& [name, content] : expected) {
    WriteFile(dir / std::to_string(index), content);
    if (index > 0) manifest += ", ";
    manifest += "[\"" + Hex(name) + "\", " + std::to_string(index) + "]";
    ++index;
  }
  manifest += "]}";
  WriteFile(dir / "manifest.json", manifest);
  std::string output;
  int status = RunCommand(
      "python3 " + ShellQuote(std::string(KEL_TESTS_SOURCE_DIR) + "/support/check_zip.py") + " " +
          ShellQuote(archive) + " " + ShellQuote(dir.path()) + " " + ShellQuote(name_encoding),
      &output);
  EXPECT_EQ(status, 0) << "outside readers reject " << archive << ":\n" << output;
}

std::string SevenZipCommand() { return RunCommand("command -v 7z >/dev/null") == 0 ? "7z" : "7zz"; }

}  // namespace kel::test
