// The outside readers' integrity tests, run from the test through a shell.
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "zip/zip_reading.h"

namespace kel::test {

void ExpectArchiveIntact(const std::string& path) {
  const std::string q = ShellQuote(path);
  std::string out;
  EXPECT_EQ(RunCommand("unzip -tqq " + q, &out), 0) << out;
  EXPECT_EQ(RunCommand(SevenZipCommand() + " t -bso0 -bsp0 " + q, &out), 0) << out;
  EXPECT_EQ(RunCommand("bsdtar -tf " + q, &out), 0) << out;
  EXPECT_EQ(RunCommand("python3 -c 'import sys, zipfile; "
                       "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' " +
                           q,
                       &out),
            0)
      << out;
}

}  // namespace kel::test
