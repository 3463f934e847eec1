// kelvarin-batch as a stranger would try to break it: links standing where outputs go, a run
// interrupted in the middle of a large file, names that are not UTF-8, folder arguments through
// a link. Every archive is checked by the outside readers.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "batch/batch_program.h"
#include "platform/output_file.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

// Entries of `folder` that have the form of this program's temporaries.
int TemporariesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (IsTemporaryName(entry.path().filename())) ++count;
  return count;
}

TEST(SafeOutputs, LinksAtOutputNamesAreReplacedAndTheirTargetsNeverTouched) {
  TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "elsewhere");
  WriteFile(dir / "in/a.txt", "new a");
  for (const char* victim : {"sym-zip", "sym-index", "hard-zip", "hard-index"})
    WriteFile(dir / ("elsewhere/" + std::string(victim)), std::string("victim ") + victim);
  fs::create_symlink(dir / "elsewhere/sym-zip", dir / "out/0000_txt.zip");
  fs::create_symlink(dir / "elsewhere/sym-index", dir / "out/files.txt");
  const ProgramRun first = RunBatchProgram(Args(dir / "in", dir / "out"));
  ASSERT_EQ(first.status, 0) << first.err;
  fs::remove(dir / "out/0000_txt.zip");
  fs::remove(dir / "out/files.txt");
  fs::create_hard_link(dir / "elsewhere/hard-zip", dir / "out/0000_txt.zip");
  fs::create_hard_link(dir / "elsewhere/hard-index", dir / "out/files.txt");
  const ProgramRun second = RunBatchProgram(Args(dir / "in", dir / "out"));
  ASSERT_EQ(second.status, 0) << second.err;

  for (const char* victim : {"sym-zip", "sym-index", "hard-zip", "hard-index"})
    EXPECT_EQ(ReadFile(dir / ("elsewhere/" + std::string(victim))),
              std::string("victim ") + victim);
  EXPECT_FALSE(fs::is_symlink(dir / "out/0000_txt.zip"));
  EXPECT_EQ(fs::hard_link_count(dir / "out/0000_txt.zip"), 1u);
  EXPECT_EQ(ReadFile(dir / "out/files.txt"), "0000_TXT.ZIP\ta\r\n");
  ExpectArchiveReadable(dir / "out/0000_txt.zip", {{"a.txt", "new a"}});
  EXPECT_EQ(TemporariesIn(dir / "out"), 0);
}

TEST(SafeOutputs, SignalInTheMiddleOfALargeFileEndsTheRunCleanly) {
  TempDir dir;
  fs::create_directories(dir / "in");
  WriteFile(dir / "in/a.txt", "a");
  // Takes seconds to compress: the signal comes while it is being read.
  WriteFile(dir / "in/big.bin", MakeBytes(48 << 20, 7, false));
  std::vector<std::string> order;  // the search's order is the directory's own
  for (const auto& entry : fs::directory_iterator(dir / "in"))
    order.push_back(entry.path().filename());
  const bool small_first = order[0] == "a.txt";
  const std::string big_archive = small_first ? "0001_bin.zip" : "0000_bin.zip";
  const std::string small_archive = small_first ? "0000_txt.zip" : "0001_txt.zip";
  for (const auto& [signal_number, name] :
       {std::pair{SIGTERM, "TERM"}, {SIGINT, "INT"}, {SIGHUP, "HUP"}}) {
    SCOPED_TRACE(name);
    const std::string out = dir / ("out-" + std::string(name));
    fs::create_directory(out);
    WriteFile(out + "/" + big_archive, "an archive of an earlier run");
    const ProgramRun run = RunBatchProgram(Args(dir / "in", out) + " --jobs 1",
                                           "(sleep 0.7; kill -" + std::string(name) + " $$) &");
    EXPECT_EQ(run.status, 128 + signal_number) << run.err;
    EXPECT_NE(run.err.find("SIG" + std::string(name)), std::string::npos) << run.err;
    EXPECT_EQ(TemporariesIn(out), 0);
    // The file in hand leaves nothing, not even the earlier run's archive of that name; a file
    // finished before the signal keeps its complete archive, one after it gets none.
    EXPECT_FALSE(fs::exists(out + "/" + big_archive));
    EXPECT_EQ(fs::exists(out + "/" + small_archive), small_first);
    if (small_first) ExpectArchiveReadable(out + "/" + small_archive, {{"a.txt", "a"}});
    EXPECT_TRUE(fs::exists(out + "/files.txt"));
  }
}

TEST(SafeOutputs, NamesThatAreNotUtf8AreStoredAsTheirBytes) {
  TempDir dir;
  fs::create_directories(dir / "in");
  const std::string sjis = "\x8e\xca\x90\x5e.jpg";  // 写真.jpg from old Japanese media
  WriteFile(dir / ("in/" + sjis), "photo");
  for (const char* encoding : {"", " --encoding cp932"}) {
    SCOPED_TRACE(encoding);
    const std::string out = dir / (std::string("out") + (*encoding ? "-cp932" : ""));
    fs::create_directory(out);
    const ProgramRun run = RunBatchProgram(Args(dir / "in", out) + " --verify" + encoding);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string archive = ReadFile(out + "/0000_jpg.zip");
    EXPECT_EQ(archive.substr(30, sjis.size()), sjis);  // the name's bytes, unchanged
    EXPECT_EQ(archive[7] & 0x08, 0) << "flag bit 11 must stay clear";
    ExpectArchiveReadable(out + "/0000_jpg.zip", {{"写真.jpg", "photo"}}, "cp932");
  }
  // Bytes that are neither UTF-8 nor CP932 cannot be given to a CP932 recipient.
  WriteFile(dir / "in/\xff\xfe.txt", "x");
  fs::create_directory(dir / "refused");
  const ProgramRun refused =
      RunBatchProgram(Args(dir / "in", dir / "refused") + " --encoding cp932");
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(fs::is_empty(dir / "refused"));
}

// A name that cannot be carried stops the run before anything is written, naming the file and
// what is wrong with it; a decomposed name is composed for CP932 and stays as its bytes in UTF-8.
TEST(SafeOutputs, NamesThatCannotBeCarriedAreRefusedAndDecomposedNamesComposedForCp932) {
  TempDir dir;
  fs::create_directories(dir / "in");
  const std::string nfd = "\u304b\u3099.txt";  // が.txt as macOS writes it
  WriteFile(dir / ("in/" + nfd), "kana");
  const struct {
    std::string name, shown, message;
  } refused[] = {
      {"..\\..\\escape.txt", "..\\..\\escape.txt", " の名前に使えない文字「\\」が含まれています"},
      {"b\u00850001_TXT.ZIP payroll.txt", "b\\u00850001_TXT.ZIP payroll.txt",
       " の名前に制御文字が含まれています"},
  };
  fs::create_directory(dir / "out");
  for (const auto& row : refused) {
    SCOPED_TRACE(row.shown);
    WriteFile(dir / ("in/" + row.name), "bad");
    for (const char* encoding : {"", " --encoding cp932"}) {
      const ProgramRun run = RunBatchProgram(Args(dir / "in", dir / "out") + encoding);
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("ファイル " + dir / "in/" + row.shown + row.message), std::string::npos)
          << run.err;
      EXPECT_TRUE(fs::is_empty(dir / "out"));
    }
    fs::remove(dir / ("in/" + row.name));
  }
  const struct {
    const char* option;
    std::string entry, index, reader_name, reader_encoding;
  } kept[] = {
      {"", nfd, "0000_TXT.ZIP\t\u304b\u3099\r\n", nfd, "utf-8"},
      {" --encoding cp932", "\x82\xaa.txt", "0000_TXT.ZIP\t\x82\xaa\r\n", "\u304c.txt", "cp932"},
  };
  for (const auto& row : kept) {
    SCOPED_TRACE(row.option);
    const ProgramRun run = RunBatchProgram(Args(dir / "in", dir / "out") + " --verify" + row.option);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out/files.txt"), row.index);
    EXPECT_EQ(ReadFile(dir / "out/0000_txt.zip").substr(30, row.entry.size()), row.entry);
    ExpectArchiveReadable(dir / "out/0000_txt.zip", {{row.reader_name, "kana"}},
                          row.reader_encoding);
  }
}

TEST(SafeOutputs, FolderArgumentsAreResolvedAsTheSystemResolvesThem) {
  // lnk/../s is the sibling s of the link's target, not the s beside the link.
  TempDir dir;
  fs::create_directories(dir / "real/inner");
  fs::create_directories(dir / "real/s");
  fs::create_directories(dir / "s");
  fs::create_directories(dir / "out");
  WriteFile(dir / "real/s/right.txt", "right");
  WriteFile(dir / "s/wrong.txt", "wrong");
  fs::create_symlink(dir / "real/inner", dir / "lnk");
  const ProgramRun run = RunBatchProgram(Args(dir / "lnk/../s", dir / "out"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir / "out/files.txt"), "0000_TXT.ZIP\tright\r\n");
}

}  // namespace
}  // namespace kel::test
