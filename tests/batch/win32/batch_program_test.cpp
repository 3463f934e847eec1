// kelvarin-batch.exe as a program under Windows: arguments in UTF-16, output in the ANSI code
// page with CR LF line ends, exit statuses, and the same archives with any number of jobs.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "batch/batch_options.h"
#include "batch/text_format.h"
#include "platform/translation.h"
#include "support/temp_dir.h"
#include "support/win32/files.h"
#include "support/win32/program.h"
#include "support/zip_readers.h"

#ifndef KELVARIN_BATCH_PROGRAM
#error "KELVARIN_BATCH_PROGRAM must name the kelvarin-batch program"
#endif

namespace kel::test {
namespace {

namespace fs = std::filesystem;

ProgramRun Batch(const std::vector<std::wstring>& args) {
  return RunProgram(Wide(KELVARIN_BATCH_PROGRAM), args);
}

std::map<std::wstring, std::string> Folder(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  for (const auto& entry : fs::directory_iterator(fs::path(folder)))
    files[entry.path().filename().wstring()] = ReadWide(entry.path().wstring());
  return files;
}

class Win32BatchProgram : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
    for (const char* folder : {"in", "one", "two"})
      CreateDirectoryW(Wide(dir_ / folder).c_str(), nullptr);
  }
  std::wstring Path(const std::string& utf8) { return Wide(dir_ / utf8); }
  TempDir dir_;
};

TEST_F(Win32BatchProgram, RunsWithOneAndTwoJobsToTheSameBytes) {
  WriteWide(Path("in\\report.docx"), MakeBytes(70000, 7, true));
  WriteWide(Path("in\\写真.jpg"), MakeBytes(20000, 8, false));
  WriteWide(Path("in\\a.b"), "ab");
  const ProgramRun one = Batch({Path("in"), Path("one"), L"--jobs", L"1", L"--verify"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, "(0/2)\r\n(1/2)\r\n(2/2)\r\n" + ProgramText("圧縮が完了しました．") + "\r\n");
  EXPECT_EQ(one.err, "");
  const ProgramRun two = Batch({Path("in\\"), Path("two\\"), L"-j2"});
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(two.out, one.out);
  const auto first = Folder(Path("one"));
  EXPECT_EQ(first, Folder(Path("two")));
  ASSERT_EQ(first.size(), 4u);
  for (const auto& [name, bytes] : first) {
    if (name == L"files.txt") continue;
    const std::string archive = Ansi(Path("one\\") + name);
    const std::string source = name.ends_with(L"jpg.zip")    ? "写真.jpg"
                               : name.ends_with(L"docx.zip") ? "report.docx"
                                                             : "a.b";
    ExpectArchiveReadable(archive, {{source, ReadWide(Path("in\\" + source))}}, "cp932");
  }
}

TEST_F(Win32BatchProgram, EncodingsAndNamesWithoutAnAnsiForm) {
  WriteWide(Path("in\\한국.txt"), "korean");
  // The system's code page (932) has no Korean: nothing is written, the file is named.
  const ProgramRun refused = Batch({Path("in"), Path("one")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("<U+D55C><U+AD6D>.txt"), std::string::npos) << refused.err;
  EXPECT_TRUE(fs::is_empty(fs::path(Path("one"))));
  // UTF-8 holds it.
  const ProgramRun utf8 = Batch({Path("in"), Path("one"), L"--encoding", L"utf-8"});
  EXPECT_EQ(utf8.status, 0) << utf8.err;
  EXPECT_EQ(ReadWide(Path("one\\files.txt")), "0000_TXT.ZIP\t한국\r\n");
  ExpectArchiveReadable(dir_ / "one\\0000_txt.zip", {{"한국.txt", "korean"}}, "utf-8");
  // A folder argument without an exact form is refused as well.
  CreateDirectoryW(Path("폴더").c_str(), nullptr);
  const ProgramRun folder = Batch({Path("폴더"), Path("two")});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("<U+D3F4><U+B354>"), std::string::npos) << folder.err;
}

TEST_F(Win32BatchProgram, UsageErrorsAndMissingFolders) {
  const ProgramRun usage = Batch({L"--encoding", L"shift_jis", Path("in"), Path("one")});
  EXPECT_EQ(usage.status, 2);
  // In the interface's language (Japanese here), as the library linked into this test has it.
  // (Standard error is in text mode: its line ends are CR LF.)
  const std::string usage_line = BatchUsage().substr(0, BatchUsage().find('\n'));
  EXPECT_NE(usage.err.find(usage_line + "\r\n"), std::string::npos) << usage.err;
  const ProgramRun version = Batch({L"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kelvarin-batch 1.0.0\r\n");
  const ProgramRun missing = Batch({Path("missing"), Path("one")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(ProgramText("見つかりません")), std::string::npos) << missing.err;
}

// Failures that name their file, and what they leave: a row per case that arises on Windows.
TEST_F(Win32BatchProgram, FailuresSayWhatAndWhere) {
  WriteWide(Path("in\\a.txt"), "a");
  CreateDirectoryW(Path("one\\0000_txt.zip").c_str(), nullptr);
  CreateDirectoryW(Path("two\\0000_txt.zip").c_str(), nullptr);
  const std::string refused = ProgramText("ファイルへのアクセスが拒否されました. (");
  struct Row {
    std::vector<std::wstring> args;
    int status;
    std::string err_start, err_end, out, index;  // index: files.txt afterwards
  };
  const std::vector<Row> rows = {
      {{Path("in"), Path("one")}, 1, refused, "\\0000_txt.zip)\r\n", "", "0000_TXT.ZIP\ta\r\n"},
      // Skipped: no completion text, and the index lists only archives that exist.
      {{Path("in"), Path("two"), L"--keep-going"},
       1,
       ProgramText("ファイル "),
       "\\0000_txt.zip)\r\n",
       "(0/0)\r\n",
       ""},
      {{Path("in"), Path("one"), L"--enc=utf-8"},
       2,
       // In the interface's language, as the library linked into this test has it.
       "kelvarin-batch: " + Format(_("unknown option %s"), {"--enc"}) + "\r\n",
       "",
       "",
       "0000_TXT.ZIP\ta\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args.back()));
    const ProgramRun run = Batch(row.args);
    EXPECT_EQ(run.status, row.status);
    EXPECT_TRUE(run.err.starts_with(row.err_start)) << run.err;
    EXPECT_TRUE(run.err.ends_with(row.err_end)) << run.err;
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(ReadWide(Ansi(row.args[1]) == Ansi(Path("one")) ? Path("one\\files.txt")
                                                               : Path("two\\files.txt")),
              row.index);
  }
  EXPECT_TRUE(fs::is_directory(fs::path(Path("one\\0000_txt.zip"))));
}

}  // namespace
}  // namespace kel::test
