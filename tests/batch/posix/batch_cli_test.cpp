// kelvarin-batch as a program: its output streams, exit statuses and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "batch/batch_options.h"
#include "batch/batch_program.h"
#include "platform/exceptions.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

TEST(BatchProgram, ThreeFilesIntoFoldersGivenWithoutSeparator) {
  TempDir dir;
  fs::create_directories(dir / "in/sub");
  fs::create_directory(dir / "out");
  WriteFile(dir / "in/report.docx", MakeBytes(70000, 7, true));
  WriteFile(dir / "in/a.b", "ab");
  WriteFile(dir / "in/.profile", "export A=1\n");
  const ProgramRun run = RunBatchProgram(Args(dir / "in", dir / "out"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "(0/2)\n(1/2)\n(2/2)\n圧縮が完了しました．\n");
  EXPECT_EQ(run.err, "");
  // Which file got which number is the file system's enumeration order; the index, sorted,
  // lists them in number order.
  const std::map<std::string, std::pair<std::string, std::string>> by_base = {
      {"report", {"report.docx", "DOCX"}}, {"a", {"a.b", "___B"}}, {"", {".profile", "PROF"}}};
  const std::string index = ReadFile(dir / "out/files.txt");
  std::size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t end = index.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << index;
    const std::string line = index.substr(at, end - at);
    at = end + 2;
    ASSERT_GE(line.size(), 13u) << line;
    const auto& [name, field] = by_base.at(line.substr(13));
    EXPECT_EQ(line.substr(0, 13), "000" + std::to_string(i) + field + ".ZIP\t");
    std::string disk = line.substr(0, 12);
    for (char& c : disk) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ExpectArchiveReadable(dir / "out/" + disk, {{name, ReadFile(dir / "in/" + name)}});
  }
  EXPECT_EQ(at, index.size()) << index;
}

TEST(BatchProgram, EmptyFolderWritesEmptyIndex) {
  TempDir dir;
  fs::create_directories(dir / "in/only-a-folder");
  const ProgramRun run = RunBatchProgram(Args(dir / "in/", dir.path()));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "圧縮が完了しました．\n");
  EXPECT_EQ(ReadFile(dir / "files.txt"), "");
}

TEST(BatchProgram, UsageAndInformation) {
  for (const char* args : {"", "one", "a b c", "--frobnicate a b", "-x a b", "--enc=utf-8 a b",
                           "--verify=1 a b"}) {
    SCOPED_TRACE(args);
    const ProgramRun run = RunBatchProgram(args, "", kEnglish);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("usage: kelvarin-batch SOURCE OUTPUT"), std::string::npos) << run.err;
    // A value joined to a name that is no option does not make it one.
    if (std::string(args).starts_with("--enc=")) {
      EXPECT_TRUE(run.err.starts_with("kelvarin-batch: unknown option --enc\n")) << run.err;
    } else if (std::string(args).starts_with("--verify=")) {
      EXPECT_TRUE(run.err.starts_with("kelvarin-batch: option --verify takes no value\n"));
    }
  }
  const ProgramRun help = RunBatchProgram("--help", "", kEnglish);
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("usage: kelvarin-batch SOURCE OUTPUT [OPTION]...\n"))
      << help.out;
  EXPECT_EQ(help.err, "");
  const ProgramRun version = RunBatchProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kelvarin-batch 1.0.0\n");
}

TEST(BatchOptions, OperandsAndEndOfOptions) {
  BatchOptions o = ParseBatchOptions({"--", "-in", "--out"});
  EXPECT_EQ(o.action, BatchOptions::Action::kRun);
  EXPECT_EQ(o.source, "-in");
  EXPECT_EQ(o.output, "--out");
  o = ParseBatchOptions({"-", "b"});
  EXPECT_EQ(o.action, BatchOptions::Action::kRun);
  EXPECT_EQ(o.source, "-");
  EXPECT_EQ(ParseBatchOptions({"a", "b", "--help"}).action, BatchOptions::Action::kHelp);
  o = ParseBatchOptions({"a", "--", "--version"});
  EXPECT_EQ(o.action, BatchOptions::Action::kRun);
  EXPECT_EQ(o.output, "--version");
}

TEST(BatchProgramFailure, MissingFolderOrAFileGivenAsOne) {
  TempDir dir;
  WriteFile(dir / "plain-file", "x");
  for (const auto& [source, output, err] :
       {std::tuple{dir / "nowhere", dir.path(),
                   "フォルダ " + dir / "nowhere" + " が見つかりません.\n"},
        {dir.path(), dir / "plain-file", dir / "plain-file" + " はフォルダではありません.\n"},
        {dir / "plain-file", dir.path(), dir / "plain-file" + " はフォルダではありません.\n"}}) {
    const ProgramRun run = RunBatchProgram(Args(source, output));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, err);
  }
}

TEST(BatchProgramFailure, IndexNotCreatable) {
  TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directories(dir / "out/files.txt");  // a folder where the index must go
  WriteFile(dir / "in/a.b", "ab");
  const ProgramRun run = RunBatchProgram(Args(dir / "in", dir / "out"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "ファイル " + dir / "out/files.txt" + " を作成できません. (" +
                         EInOutError::MessageFor(5) + ")\n");
  EXPECT_FALSE(fs::exists(dir / "out/0000___b.zip"));
}

TEST(BatchProgramFailure, OutputIsSourceHoldingTheIndex) {
  TempDir dir;
  WriteFile(dir / "a.b", "ab");
  WriteFile(dir / "files.txt", "keep me");
  const ProgramRun run = RunBatchProgram(Args(dir.path(), dir.path()));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(dir / "files.txt"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir / "files.txt"), "keep me");
  EXPECT_FALSE(fs::exists(dir / "0000___b.zip"));
  EXPECT_FALSE(fs::exists(dir / "0001___b.zip"));
}

TEST(BatchProgramFailure, FullFileSystemOnTheThirdOfFiveFiles) {
  TempDir dir;
  const std::string in = dir / "in";
  const std::string out = dir / "out";
  fs::create_directory(in);
  fs::create_directory(out);
  const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"};
  for (const std::string& name : names) WriteFile(in + "/" + name, "");
  // The search reports entries in the directory's own order; find which file comes third.
  std::vector<std::string> order;
  for (const auto& entry : fs::directory_iterator(in)) order.push_back(entry.path().filename());
  ASSERT_EQ(order.size(), 5u);
  for (std::size_t i = 0; i < order.size(); ++i)
    WriteFile(in + "/" + order[i], MakeBytes(i == 2 ? 8 << 20 : 3000, i, i == 2 ? false : true));

  // No file may grow past 1 MiB (2048 blocks of 512 bytes): the third archive cannot be
  // written. SIGXFSZ is ignored so that the write fails instead of killing the program.
  // File by file: a parallel run may also have written the archives of later files.
  const ProgramRun run =
      RunBatchProgram(Args(in, out) + " --jobs 1", "trap '' XFSZ; ulimit -f 2048 &&");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "(0/4)\n(1/4)\n");
  EXPECT_NE(run.err.find(out), std::string::npos) << run.err;
  EXPECT_TRUE(run.err.ends_with(". (ディスクがいっぱいです)\n")) << run.err;
  // The failing file leaves nothing: neither its archive nor a temporary.
  EXPECT_FALSE(fs::exists(out + "/0002_txt.zip"));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 3);
  for (int i = 0; i < 2; ++i)
    ExpectArchiveReadable(out + "/000" + std::to_string(i) + "_txt.zip",
                          {{order[i], ReadFile(in + "/" + order[i])}});
  EXPECT_FALSE(fs::exists(out + "/0003_txt.zip"));
  EXPECT_FALSE(fs::exists(out + "/0004_txt.zip"));
  EXPECT_EQ(ReadFile(out + "/files.txt"),
            "0000_TXT.ZIP\t" + order[0].substr(0, 1) + "\r\n0001_TXT.ZIP\t" +
                order[1].substr(0, 1) + "\r\n0002_TXT.ZIP\t" + order[2].substr(0, 1) +
                "\r\n0003_TXT.ZIP\t" + order[3].substr(0, 1) + "\r\n0004_TXT.ZIP\t" +
                order[4].substr(0, 1) + "\r\n");
}

}  // namespace
}  // namespace kel::test
