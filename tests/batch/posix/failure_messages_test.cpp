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

// Runs the program with standard output on a pipe whose reader has already gone: the first
// text it writes meets a closed pipe, whenever that is.
ProgramRun RunIntoClosedPipe(const std::string& in, const std::string& out, const char* jobs) {
  TempDir capture;
  const std::string err_path = capture / "err";
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {-1, "", "pipe failed"};
  close(pipe_ends[0]);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipe_ends[1], 1);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    setenv("LC_ALL", kJapanese, 1);
    execl(KELVARIN_BATCH_PROGRAM, "kelvarin-batch", in.c_str(), out.c_str(), "--jobs", jobs,
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_ends[1]);
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status), "",
          ReadFile(err_path)};
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

int ArchiveCount(const std::string& folder) {
  int count = 0;
  for (const std::string& name : Entries(folder)) count += name.ends_with(".zip");
  return count;
}

// "N" of the interrupt line "... 中止しました: M 個中 N 個のファイルを圧縮済みです..." or of its
// English form "... : N of M files archived".
int ArchivedInStopLine(const std::string& err) {
  const std::size_t japanese = err.find(" 個中 ");
  if (japanese != std::string::npos) return std::atoi(err.c_str() + japanese + 8);
  const std::size_t colon = err.find(": ");
  return colon == std::string::npos ? -1 : std::atoi(err.c_str() + colon + 2);
}

struct Row {
  const char* what;
  std::function<ProgramRun(const std::string& dir)> run;  // after in/a.txt and out/ are made
  int status;
  std::function<std::string(const std::string& dir)> err;  // exactly, or what it starts with
  std::function<void(const std::string& dir, const ProgramRun& run)> left = nullptr;
  bool err_is_start = false;
};

ProgramRun Program(const std::string& dir, const std::string& options = "",
                   const std::string& prelude = "", const char* locale = kJapanese) {
  return RunBatchProgram(Args(dir + "/in", dir + "/out") + options, prelude, locale);
}

void ManySmallFiles(const std::string& in, int count, std::size_t size,
                    const std::string& prefix = "f") {
  for (int i = 0; i < count; ++i)
    WriteFile(in + "/" + prefix + std::to_string(i) + ".txt", MakeBytes(size, i, true));
}

// Whatever a run stopped by the closed pipe leaves: complete archives only, as many as its
// line says, and no temporary.
void LeftByStoppedRun(const std::string& dir, const ProgramRun& run) {
  const std::string out = dir + "/out";
  EXPECT_EQ(ArchivedInStopLine(run.err), ArchiveCount(out)) << run.err;
  for (const std::string& name : Entries(out)) EXPECT_FALSE(name.starts_with(".kelvarin-")) << name;
  // One archive through the outside readers: the first the index lists, if it was written.
  const std::string index = ReadFile(out + "/files.txt");
  const std::string base = index.substr(13, index.find("\r\n") - 13);
  if (fs::exists(out + "/0000_txt.zip"))
    ExpectArchiveReadable(out + "/0000_txt.zip",
                          {{base + ".txt", ReadFile(dir + "/in/" + base + ".txt")}});
}

TEST(FailureMessages, SayWhatAndWhereAndLeaveOnlyCompleteArchives) {
  const std::string stopped_by_pipe = "SIGPIPE により中止しました: 301 個中 ";
  const std::vector<Row> rows = {
      {"a folder where an archive goes: the move into place names it",
       [](const std::string& dir) {
         fs::create_directory(dir + "/out/0000_txt.zip");
         return Program(dir);
       },
       1,
       [](const std::string& dir) {
         return "ファイルへのアクセスが拒否されました. (" + dir + "/out/0000_txt.zip)\n";
       },
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_TRUE(fs::is_directory(dir + "/out/0000_txt.zip"));
       }},
      {"a full disk at files.txt names the index, in each language",
       [](const std::string& dir) {
         // An index past the 512 bytes that may be written (the message on stderr fits).
         ManySmallFiles(dir + "/in", 40, 1, "a-name-that-makes-the-index-long-");
         const std::string limit = "trap '' XFSZ; ulimit -f 1;";
         const ProgramRun english = Program(dir, "", limit, kEnglish);
         EXPECT_EQ(english.err, "ストリームへの書き込みエラー. (" + dir +
                                    "/out/files.txt: disk full)\n"
                                    "  In English: Error writing to a stream.\n");
         return Program(dir, "", limit);
       },
       1,
       [](const std::string& dir) {
         return "ストリームへの書き込みエラー. (" + dir + "/out/files.txt: ディスクがいっぱいです)\n";
       },
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_EQ(Entries(dir + "/out"), std::vector<std::string>{});
       }},
      {"folders deeper than a full path can reach are too long, not missing",
       [](const std::string& dir) {
         const std::string level(200, 'd');
         const ProgramRun run = RunBatchProgram(
             "s o", "cd " + ShellQuote(dir) + " && for i in $(seq 25); do mkdir " + level +
                        " && cd -P " + level + " || exit 9; done && mkdir s o && touch s/a.txt &&");
         RunCommand("rm -rf " + ShellQuote(dir + "/" + level));
         return run;
       },
       1, [](const std::string&) { return "フォルダ s のフルパスはシステムの上限より長すぎます.\n"; }},
      {"a run interrupted with two jobs counts every archive that exists",
       [](const std::string& dir) {
         // File 0 is large and still being compressed when file 6 is done and the signal comes.
         fs::remove(dir + "/in/a.txt");
         for (int i = 0; i < 7; ++i) WriteFile(dir + "/in/" + std::to_string(i) + ".dat", "x");
         const std::string first = fs::directory_iterator(dir + "/in")->path();
         WriteFile(first, MakeBytes(24 << 20, 1, false));
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
       130,
       [](const std::string&) {
         return "Stopped by SIGINT: 6 of 7 files archived; no half-written archive was left\n";
       },
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_EQ(ArchiveCount(dir + "/out"), 6);
         EXPECT_FALSE(fs::exists(dir + "/out/0000_dat.zip"));
       }},
      {"two files 10000 apart with one extension field share an archive name",
       [](const std::string& dir) {
         ManySmallFiles(dir + "/in", 10000, 0);
         return Program(dir);
       },
       1,
       [](const std::string& dir) { return "ファイル " + dir + "/in/"; },
       [](const std::string& dir, const ProgramRun& run) {
         EXPECT_NE(run.err.find(" になります。4 桁の通し番号は集めた順に 10000 個ごとに 0000 "
                                "に戻るため、集めた順で 10000 (またはその倍数) 離れた 2 つの"
                                "ファイルの拡張子欄が同じだと、同じ書庫になります.\n"),
                   std::string::npos)
             << run.err;
         EXPECT_EQ(Entries(dir + "/out"), std::vector<std::string>{});
       },
       true},
      {"standard output's reader gone, one job: stopped as by SIGPIPE",
       [](const std::string& dir) {
         ManySmallFiles(dir + "/in", 300, 20000);
         return RunIntoClosedPipe(dir + "/in", dir + "/out", "1");
       },
       141, [stopped_by_pipe](const std::string&) { return stopped_by_pipe; }, LeftByStoppedRun,
       true},
      {"standard output's reader gone, two jobs: stopped as by SIGPIPE",
       [](const std::string& dir) {
         ManySmallFiles(dir + "/in", 300, 20000);
         return RunIntoClosedPipe(dir + "/in", dir + "/out", "2");
       },
       141, [stopped_by_pipe](const std::string&) { return stopped_by_pipe; }, LeftByStoppedRun,
       true},
      {"standard output on a full device: every archive written, the failure said at the end",
       [](const std::string& dir) {
         ManySmallFiles(dir + "/in", 20, 100);
         std::string err;  // RunCommand's output is standard error here
         const int status = RunCommand("{ LC_ALL=" + std::string(kJapanese) + " " +
                                           KELVARIN_BATCH_PROGRAM + " " +
                                           Args(dir + "/in", dir + "/out") + " >/dev/full; }",
                                       &err);
         return ProgramRun{status, "", err};
       },
       1,
       [](const std::string&) {
         return "標準出力に書き込めませんでした。そこに表示した進行状況は不完全です.\n";
       },
       [](const std::string& dir, const ProgramRun&) {
         EXPECT_EQ(ArchiveCount(dir + "/out"), 21);
         EXPECT_EQ(ReadFile(dir + "/out/files.txt").size(), 21 * 15u + 1 + 10 * 2 + 10 * 3);
       }},
      {"an unknown option with a value is an unknown option",
       [](const std::string& dir) {
         EXPECT_TRUE(Program(dir, " --verify=1", "", kEnglish)
                         .err.starts_with("kelvarin-batch: option --verify takes no value\n"));
         return Program(dir, " --enc=utf-8", "", kEnglish);
       },
       2,
       [](const std::string&) {
         return "kelvarin-batch: unknown option --enc\nusage: kelvarin-batch SOURCE OUTPUT";
       },
       nullptr, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    WriteFile(dir / "in/a.txt", "a\n");
    const ProgramRun run = row.run(dir.path());
    EXPECT_EQ(run.status, row.status) << run.err;
    const std::string err = row.err(dir.path());
    if (row.err_is_start) {
      EXPECT_TRUE(run.err.starts_with(err)) << run.err;
    } else {
      EXPECT_EQ(run.err, err);
    }
    if (row.left) row.left(dir.path(), run);
  }
}

}  // namespace
}  // namespace kel::test
