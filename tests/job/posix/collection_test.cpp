// The start action and the per-entry handler on real folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "job/archive_naming.h"
#include "job/job_checks.h"
#include "job/job_errors.h"
#include "job/name_text.h"
#include "job/job_harness.h"
#include "support/temp_dir.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> AsSet(const TStringList& list) {
  return {list.Items().begin(), list.Items().end()};
}

// Collected file i has sequence i in its archive path and its index line, and the three lists
// agree on which file that is.
void ExpectNumberedWithoutGaps(const JobState& state, const std::string& output) {
  ASSERT_EQ(state.ListingLines->Count(), static_cast<std::size_t>(state.FileCount));
  ASSERT_EQ(state.ArchivePaths->Count(), static_cast<std::size_t>(state.FileCount));
  ASSERT_EQ(state.SourceFiles->Count(), static_cast<std::size_t>(state.FileCount));
  const PathSyntax syntax = PathSyntax::Native();
  for (int32_t i = 0; i < state.FileCount; ++i) {
    const std::string file_name = syntax.ExtractFileName((*state.SourceFiles)[i]);
    const ArchiveName name = MakeArchiveName(i, file_name, syntax);
    EXPECT_EQ((*state.ArchivePaths)[i], output + name.disk);
    EXPECT_EQ((*state.ListingLines)[i], name.listing + "\t" + syntax.ExtractBaseName(file_name));
  }
}

class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir) : old_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~ScopedCurrentDir() {
    std::error_code ec;
    fs::current_path(old_, ec);
  }

 private:
  fs::path old_;
};

TEST(Collection, RegularFilesNumberedAcrossSubFoldersAndOddEntries) {
  TempDir dir;
  const std::string source = dir / "in";
  fs::create_directories(source + "/sub1/deeper");
  fs::create_directory(source + "/sub2");
  for (const char* name : {"report.docx", "a.b", "Makefile", ".profile", "写真.jpg", "x y.txt"})
    WriteFile(source + "/" + name, name);
  WriteFile(source + "/sub1/inner.txt", "not collected");
  ASSERT_EQ(mkfifo((source + "/pipe.fifo").c_str(), 0600), 0);
  fs::create_symlink(dir / "missing", source + "/dangling.lnk");
  fs::create_symlink(source + "/sub2", source + "/dirlink");
  fs::create_symlink(source + "/a.b", source + "/link.b");  // a regular file through a link

  fs::create_directory(dir / "out");
  const std::string out = dir / "out/";
  JobHarness h;
  h.Start(source, out);
  EXPECT_EQ(h.state.FileCount, 7);
  const std::set<std::string> expected = {
      source + "/report.docx", source + "/a.b",     source + "/Makefile", source + "/.profile",
      source + "/写真.jpg",    source + "/x y.txt", source + "/link.b"};
  EXPECT_EQ(AsSet(*h.state.SourceFiles), expected);
  ExpectNumberedWithoutGaps(h.state, out);
  EXPECT_EQ(h.panel.texts, std::vector<std::string>{""});
  EXPECT_EQ(h.timer.interval, BatchJob::kTimerPeriod);
  EXPECT_FALSE(fs::exists(source + "/files.txt"));  // collection writes nothing
}

TEST(Collection, FolderWithoutFilesCollectsNothing) {
  TempDir dir;
  fs::create_directories(dir / "only/sub");
  JobHarness h;
  h.Start(dir / "only", dir / "only/sub");
  EXPECT_EQ(h.state.FileCount, 0);
  EXPECT_EQ(
      h.state.ListingLines->Count() + h.state.ArchivePaths->Count() + h.state.SourceFiles->Count(),
      0u);
  EXPECT_EQ(h.timer.interval, BatchJob::kTimerPeriod);
}

TEST(Collection, SecondRunHoldsOnlyItsOwnFilesFromZero) {
  TempDir dir;
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(dir / "one" + "/" + name, "1");
  WriteFile(dir / "two/z.dat", "2");

  JobHarness h;
  h.Start(dir / "one/", dir / "one/");
  ASSERT_EQ(h.state.FileCount, 3);
  // A second start before the first one's pass replaces it, into the same folder or another.
  h.Start(dir / "one/", dir / "one/");
  ASSERT_EQ(h.state.FileCount, 3);
  h.Start(dir / "two/", dir / "one/");
  EXPECT_EQ(h.state.FileCount, 1);
  EXPECT_EQ(h.state.SourceFiles->Items(), std::vector<std::string>{dir / "two/z.dat"});
  EXPECT_EQ(h.state.ArchivePaths->Items(), std::vector<std::string>{dir / "one/0000_dat.zip"});
  EXPECT_EQ(h.state.ListingLines->Items(), std::vector<std::string>{"0000_DAT.ZIP\tz"});
}

TEST(Collection, FolderFieldsAreCheckedAndTheOutputTakenAsAFolder) {
  TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  WriteFile(dir / "in/report.docx", "r");
  WriteFile(dir / "file.txt", "not a folder");
  struct Row {
    std::string source, output, error;
  };
  const Row rows[] = {
      // Typed without a separator, the output folder still receives the archives.
      {dir / "in", dir / "out", ""},
      {dir / "in/", dir / "out/", ""},
      {dir / "missing", dir / "out", "フォルダ " + dir / "missing" + " が見つかりません"},
      {dir / "file.txt", dir / "out", dir / "file.txt" + " はフォルダではありません"},
      {"", dir / "out", "圧縮するフォルダが指定されていません"},
      {dir / "in", "", "出力先フォルダが指定されていません"},
      {dir / "in", dir / "missing", "フォルダ " + dir / "missing" + " が見つかりません"},
      {dir / "in", dir / "file.txt", dir / "file.txt" + " はフォルダではありません"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.source + " -> " + row.output);
    WriteFile(dir / "out/files.txt", "earlier index");
    JobHarness h;
    try {
      h.Start(row.source, row.output);
      EXPECT_EQ(row.error, "");
      EXPECT_EQ(h.state.ArchivePaths->Items(), std::vector<std::string>{dir / "out/0000docx.zip"});
      h.RunTimer();
    } catch (const EFolderError& e) {
      EXPECT_EQ(e.Message(), row.error);
      EXPECT_EQ(h.timer.interval, 0);
      EXPECT_EQ(ReadFile(dir / "out/files.txt"), "earlier index");  // nothing written
    }
  }
  EXPECT_TRUE(fs::exists(dir / "out/0000docx.zip"));
  EXPECT_FALSE(fs::exists(dir / "out0000docx.zip"));
}

TEST(Collection, ControlCharactersInANameStopTheRunBeforeAnythingIsWritten) {
  for (const std::string bad :
       {"a\tb.txt", "line\nbreak.txt", "cr\r.txt", "esc\x1b.txt", "del\x7f.txt"}) {
    TempDir dir;
    WriteFile(dir / "good.txt", "g");
    WriteFile(dir / bad, "b");
    JobHarness h;
    try {
      h.Start(dir.path(), dir.path());
      FAIL() << "no error for " << bad;
    } catch (const EBadFileName& e) {
      // The name is shown with its control character escaped, never raw.
      EXPECT_EQ(e.Message().find_first_of("\t\n\r\x1b\x7f"), std::string::npos);
      EXPECT_NE(e.Message().find(EscapedName(dir / bad)), std::string::npos) << e.Message();
    }
    EXPECT_EQ(h.timer.interval, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
  }
}

TEST(Collection, StaleTemporariesAreClearedAndNeverCollected) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  const std::string stale = dir / ".kelvarin-00112233aabb-0000_txt.zip.tmp";
  WriteFile(stale, std::string("PK\x03\x04", 4) + "a killed run's half archive");
  JobHarness h;
  // Another run's index in the making: provably a temporary of this program, never a source.
  h.before_find = [&] {
    WriteFile(dir / ".kelvarin-ffeeddccbbaa-files.txt.tmp", "0000_TXT.ZIP\ta\r\n");
  };
  h.Start(dir.path(), dir.path());
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_EQ(h.state.SourceFiles->Items(), std::vector<std::string>{dir / "a.txt"});
}

TEST(Collection, SecondRunIntoABusyFolderIsRefused) {
  TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  WriteFile(dir / "in/a.txt", "a");
  JobHarness first;
  JobHarness second;
  first.Start(dir / "in", dir / "out");  // holds the folder until its pass has run
  try {
    second.Start(dir / "in", dir / "out");
    FAIL() << "no error for a busy folder";
  } catch (const EFolderBusy& e) {
    EXPECT_NE(e.Message().find(dir / "out/"), std::string::npos) << e.Message();
  }
  first.RunTimer();
  EXPECT_NO_THROW(second.Start(dir / "in", dir / "out"));
  second.RunTimer();
  EXPECT_EQ(ReadFile(dir / "out/files.txt"), "0000_TXT.ZIP\ta\r\n");
}

TEST(Collection, WindowsPathsInTheHandler) {
  // On Linux "\" is an ordinary byte, so these Windows paths name files in the current folder.
  TempDir dir;
  ScopedCurrentDir cwd(dir.path());
  const std::string hyou = "\x95\x5c";  // 表 in Shift-JIS; its trail byte is "\"
  WriteFile("D:\\data\\report.docx", "r");
  WriteFile("D:\\data\\" + hyou + ".txt", "h");
  fs::create_directory("D:\\data\\sub");

  JobHarness h(PathSyntax::Windows(CodePage::kShiftJis));
  h.edit2.text = "D:\\out\\";
  TSearchFileData file;
  TSearchFileData folder;
  folder.IsDirectory = true;
  bool go_on = true;
  h.job.SearchFile1Find(h.search, "D:\\data\\report.docx", file, go_on);
  h.job.SearchFile1Find(h.search, "D:\\data\\sub", folder, go_on);
  h.job.SearchFile1Find(h.search, "D:\\data\\" + hyou + ".txt", file, go_on);
  EXPECT_TRUE(go_on);
  EXPECT_EQ(h.state.FileCount, 2);
  EXPECT_EQ(h.state.ArchivePaths->Items(),
            (std::vector<std::string>{"D:\\out\\0000docx.zip", "D:\\out\\0001_txt.zip"}));
  EXPECT_EQ(h.state.ListingLines->Items(),
            (std::vector<std::string>{"0000DOCX.ZIP\treport", "0001_TXT.ZIP\t" + hyou}));
  EXPECT_EQ(h.state.SourceFiles->Items(),
            (std::vector<std::string>{"D:\\data\\report.docx", "D:\\data\\" + hyou + ".txt"}));
}

// Empty files f00000.txt ... in `folder`, for the runs past 10,000 files.
std::vector<std::string> MakeEmptyFiles(const std::string& folder, int count, const char* ext) {
  std::vector<std::string> paths;
  char name[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "/f%05d%s", i, ext);
    paths.push_back(folder + name);
    std::FILE* f = std::fopen(paths.back().c_str(), "w");
    if (f == nullptr)
      ADD_FAILURE() << "cannot create " << paths.back();
    else
      std::fclose(f);
  }
  return paths;
}

TEST(CollectionPastTenThousand, SharedArchivePathFailsTheStartBeforeAnythingIsWritten) {
  TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  MakeEmptyFiles(dir / "in", 10001, ".txt");  // numbers 0 and 10000 share 0000_txt.zip
  JobHarness h;
  try {
    h.Start(dir / "in/", dir / "out/");
    FAIL() << "no error for two files with the same archive path";
  } catch (const ENameClash& e) {
    EXPECT_NE(e.Message().find("10000"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find(dir / "out/0000_txt.zip"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(h.timer.interval, 0);  // no pass follows
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

TEST(CollectionPastTenThousand, DistinctPathsGoOnAndTheFirstRepeatIsNamed) {
  TempDir dir;
  std::vector<std::string> files = MakeEmptyFiles(dir.path(), 10000, ".txt");
  WriteFile(dir / "g.dat", "");  // number 10000 -> 0000_dat.zip, beside 0000_txt.zip
  WriteFile(dir / "h.txt", "");  // number 10001 -> 0001_txt.zip, taken by f00001.txt
  JobHarness h;
  h.edit2.text = "/out/";
  TSearchFileData data;
  bool go_on = true;
  files.push_back(dir / "g.dat");
  for (const std::string& path : files) h.job.SearchFile1Find(h.search, path, data, go_on);
  EXPECT_NO_THROW(CheckArchivePathsDistinct(h.state));

  h.job.SearchFile1Find(h.search, dir / "h.txt", data, go_on);
  try {
    CheckArchivePathsDistinct(h.state);
    FAIL() << "no error for two files with the same archive path";
  } catch (const ENameClash& e) {
    EXPECT_NE(e.Message().find(files[1]), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find(dir / "h.txt"), std::string::npos) << e.Message();
  }
}

}  // namespace
}  // namespace kel::test
