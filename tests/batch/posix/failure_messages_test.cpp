// What kelvarin-batch says when a run fails or is cut short, and what it leaves: one row per
// case, each with its standard error, exit status and the outputs left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <sstream>

#include "batch/batch_program.h"
#include "batch/batch_run.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

// The program with standard output on a pipe whose reader has already gone: the first text
// it writes meets a closed pipe, whenever that is.
ProgramRun RunIntoClosedPipe(const std::string& dir, const char* jobs) {
  const std::string in = dir + "/in", out = dir + "/out", err = dir + "/err";
  int ends[2];
  if (pipe(ends) != 0) return {-1, "", "no pipe"};
  close(ends[0]);
  const pid_t child = fork();
  if (child == 0) {
    dup2(ends[1], 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    setenv("LC_ALL", kJapanese, 1);
    execl(KELVARIN_BATCH_PROGRAM, "kelvarin-batch", in.c_str(), out.c_str(), "-j", jobs, nullptr);
    _exit(127);
  }
  close(ends[1]);
  int status = 0;
  waitpid(child, &status, 0);
  const std::string text = ReadFile(err);
  fs::remove(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status), "", text};
}

int Count(const std::string& folder, const std::string& ending) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    count += entry.path().filename().string().ends_with(ending);
  return count;
}

void ManyFiles(const std::string& in, int count, std::size_t size) {
  for (int i = 0; i < count; ++i)
    WriteFile(in + "/a-name-that-makes-the-index-long-" + std::to_string(i) + ".txt",
              MakeBytes(size, i, true));
}

// A run stopped by the closed pipe: as many archives as its line says, no temporary, and the
// first one whole.
void LeftByStoppedRun(const std::string& dir, const ProgramRun& run) {
  const std::size_t at = run.err.find(" 個中 ");
  ASSERT_NE(at, std::string::npos) << run.err;
  EXPECT_EQ(std::atoi(run.err.c_str() + at + 8), Count(dir + "/out", ".zip")) << run.err;
  EXPECT_EQ(Count(dir + "/out", ".tmp"), 0);
  const std::string index = ReadFile(dir + "/out/files.txt");
  const std::string name = index.substr(13, index.find('\r') - 13) + ".txt";
  if (fs::exists(dir + "/out/0000_txt.zip"))
    ExpectArchiveReadable(dir + "/out/0000_txt.zip", {{name, ReadFile(dir + "/in/" + name)}});
}

struct Row {
  const char* what;
  std::function<ProgramRun(const std::string& dir)> run;  // after in/a.txt and out/ are made
  int status;
  std::string err;  // what standard error starts with; "DIR" stands for the test's folder
  std::function<void(const std::string& dir, const ProgramRun& run)> left;
};

ProgramRun Program(const std::string& dir, const std::string& prelude = "",
                   const char* locale = kJapanese) {
  return RunBatchProgram(Args(dir + "/in", dir + "/out"), prelude, locale);
}

TEST(FailureMessages, SayWhatAndWhereAndLeaveOnlyCompleteArchives) {
  const std::string limit = "trap '' XFSZ; ulimit -f 1;";  // 512 bytes: the message fits
  const std::string level(200, 'd');
  const std::vector<Row> rows = {
      {"a folder where an archive goes: the move into place names it",
       [](const std::string& dir) {
         fs::create_directory(dir + "/out/0000_txt.zip");
         return Program(dir);
       },
       1, "ファイルへのアクセスが拒否されました. (DIR/out/0000_txt.zip)\n",
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_TRUE(fs::is_directory(dir + "/out/0000_txt.zip"));
       }},
      {"a full disk at files.txt names the index, in each language",
       [&limit](const std::string& dir) {
         ManyFiles(dir + "/in", 20, 1);
         EXPECT_EQ(Program(dir, limit, kEnglish).err,
                   "ストリームへの書き込みエラー. (" + dir +
                       "/out/files.txt: disk full)\n  In English: Error writing to a stream.\n");
         return Program(dir, limit);
       },
       1, "ストリームへの書き込みエラー. (DIR/out/files.txt: ディスクがいっぱいです)\n",
       [](const std::string& dir, const ProgramRun&) { EXPECT_TRUE(fs::is_empty(dir + "/out")); }},
      {"folders deeper than a full path can reach are too long, not missing",
       [&level](const std::string& dir) {
         const ProgramRun run = RunBatchProgram(
             "s o", "cd " + ShellQuote(dir) + " && for i in $(seq 25); do mkdir " + level +
                        " && cd -P " + level + " || exit 9; done && mkdir s o &&");
         RunCommand("rm -rf " + ShellQuote(dir + "/" + level));
         return run;
       },
       1, "フォルダ s のフルパスはシステムの上限より長すぎます.\n", nullptr},
      {"a run interrupted with two jobs counts every archive that exists",
       [](const std::string& dir) {
         // File 0 is large and still being compressed when file 6 is done and the signal comes.
         fs::remove(dir + "/in/a.txt");
         for (int i = 0; i < 7; ++i) WriteFile(dir + "/in/" + std::to_string(i) + ".dat", "x");
         WriteFile(fs::directory_iterator(dir + "/in")->path(), MakeBytes(24 << 20, 1, false));
         std::atomic<int> signal{0};
         BatchSettings s;
         s.source = dir + "/in";
         s.output = dir + "/out";
         s.jobs = 2;
         s.interrupt_signal = [&signal] { return signal.load(); };
         s.after_close = [&signal](int32_t index, const std::string&) {
           if (index == 6) signal.store(2);
         };
         std::ostringstream out, err;
         const int status = RunBatch(s, out, err);
         return ProgramRun{status, out.str(), err.str()};
       },
       130, "Stopped by SIGINT: 6 of 7 files archived; no half-written archive was left\n",
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_EQ(Count(dir + "/out", ".zip"), 6);
         EXPECT_FALSE(fs::exists(dir + "/out/0000_dat.zip"));
       }},
      {"standard output's reader gone, one job: stopped as by SIGPIPE",
       [](const std::string& dir) {
         ManyFiles(dir + "/in", 300, 20000);
         return RunIntoClosedPipe(dir, "1");
       },
       141, "SIGPIPE により中止しました: 301 個中 ", LeftByStoppedRun},
      {"standard output's reader gone, two jobs: stopped as by SIGPIPE",
       [](const std::string& dir) {
         ManyFiles(dir + "/in", 300, 20000);
         return RunIntoClosedPipe(dir, "2");
       },
       141, "SIGPIPE により中止しました: 301 個中 ", LeftByStoppedRun},
      {"standard output on a full device: every archive written, the failure said at the end",
       [](const std::string& dir) {
         ManyFiles(dir + "/in", 20, 100);
         std::string err;  // RunCommand's output: standard error here
         const int status = RunCommand("{ LC_ALL=" + std::string(kJapanese) + " " +
                                           KELVARIN_BATCH_PROGRAM + " " +
                                           Args(dir + "/in", dir + "/out") + " >/dev/full; }",
                                       &err);
         return ProgramRun{status, "", err};
       },
       1, "標準出力に書き込めませんでした。そこに表示した進行状況は不完全です.\n",
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_EQ(Count(dir + "/out", ".zip"), 21);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    WriteFile(dir / "in/a.txt", "a\n");
    const ProgramRun run = row.run(dir.path());
    EXPECT_EQ(run.status, row.status) << run.err;
    std::string err = row.err;
    if (const std::size_t at = err.find("DIR"); at != std::string::npos)
      err.replace(at, 3, dir.path());
    EXPECT_TRUE(run.err.starts_with(err)) << run.err;
    if (row.err.ends_with('\n')) {
      EXPECT_EQ(run.err.size(), err.size()) << run.err;
    }
    if (row.left) row.left(dir.path(), run);
  }
}

}  // namespace
}  // namespace kel::test
