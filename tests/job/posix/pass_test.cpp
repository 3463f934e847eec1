// The archiving pass through the host interfaces, on real folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "job/archive_step.h"
#include "job/job_errors.h"
#include "job/job_harness.h"
#include "platform/exceptions.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"
#include "zip/zip_builder.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

// What a file of the fixture is called in the archive names and the index.
struct Expected {
  std::string field;  // extension field in upper case
  std::string base;
};

const std::map<std::string, Expected> kNames = {
    {"report.docx", {"DOCX", "report"}}, {"a.b", {"___B", "a"}},
    {"Makefile", {"____", "Makefile"}},  {"日本語.テキスト", {"_テ", "日本語"}},
    {"x y.TXT", {"_TXT", "x y"}},
};

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Seq(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", i);
  return buf;
}

struct Folders {
  TempDir dir;
  std::string source = dir / "in/";
  std::string output = dir / "out/";
  std::map<std::string, std::string> contents;  // file name -> bytes

  Folders() {
    fs::create_directory(source);
    fs::create_directory(output);
  }
  void Add(const std::string& name, std::string bytes) {
    WriteFile(source + name, bytes);
    contents[name] = std::move(bytes);
  }
  // The archive path of file number `i`, named `name`.
  std::string ArchiveOf(int i, const std::string& name) const {
    return output + Seq(i) + Lower(kNames.at(name).field) + ".zip";
  }
};

std::string NameOf(const JobHarness& h, int i) {
  return PathSyntax::Native().ExtractFileName((*h.state.SourceFiles)[i]);
}

// Every collected file has its readable archive with one entry, and files.txt holds exactly
// the expected lines in sequence order.
void ExpectRunOutput(const Folders& f, const JobHarness& h) {
  std::string index;
  for (int i = 0; i < h.state.FileCount; ++i) {
    const std::string name = NameOf(h, i);
    SCOPED_TRACE(name);
    ExpectArchiveReadable(f.ArchiveOf(i, name), {{name, f.contents.at(name)}});
    index += Seq(i) + kNames.at(name).field + ".ZIP\t" + kNames.at(name).base + "\r\n";
  }
  EXPECT_EQ(ReadFile(f.output + "files.txt"), index);
}

std::size_t EntriesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
  return n;
}

TEST(Pass, ThreeFilesShowProgressThenCompletion) {
  Folders f;
  f.Add("report.docx", MakeBytes(40000, 1, true));
  f.Add("a.b", MakeBytes(16384, 2, false));
  f.Add("日本語.テキスト", "");
  fs::create_directory(f.source + "sub");
  ASSERT_EQ(mkfifo((f.source + "pipe").c_str(), 0600), 0);
  fs::create_symlink(f.dir / "gone", f.source + "dangling");

  JobHarness h;
  h.Start(f.source, f.output);
  ASSERT_EQ(h.state.FileCount, 3);
  h.RunTimer();
  EXPECT_EQ(h.panel.texts,
            (std::vector<std::string>{"", "(0/2)", "(1/2)", "(2/2)", kCompletionText}));
  EXPECT_EQ(h.pump.calls, 3);
  EXPECT_EQ(h.timer.interval, 0);
  ExpectRunOutput(f, h);
  EXPECT_EQ(EntriesIn(f.output), 4u);
  EXPECT_EQ(h.job.CurrentSourceDir(), f.source);
}

TEST(Pass, OneFileShowsZeroOfZero) {
  Folders f;
  f.Add("x y.TXT", "one");
  JobHarness h;
  h.Start(f.source, f.output);
  h.RunTimer();
  EXPECT_EQ(h.panel.texts, (std::vector<std::string>{"", "(0/0)", kCompletionText}));
  ExpectRunOutput(f, h);
}

TEST(Pass, EmptyFolderWritesEmptyIndexAndNoArchive) {
  Folders f;
  JobHarness h;
  h.Start(f.source, f.output);
  h.RunTimer();
  EXPECT_EQ(h.panel.texts, (std::vector<std::string>{"", kCompletionText}));
  EXPECT_EQ(ReadFile(f.output + "files.txt"), "");
  EXPECT_EQ(EntriesIn(f.output), 1u);
}

TEST(Pass, IndexGoesWithTheArchivesEvenWhenTheOutputFieldChangesBeforeTheTick) {
  // The folder the start action checked and locked is the one the whole run writes to.
  Folders f;
  f.Add("a.b", "ab");
  fs::create_directory(f.dir / "later");
  JobHarness h;
  h.Start(f.source, f.output);
  h.edit2.text = f.dir / "later/";
  h.RunTimer();
  EXPECT_EQ(ReadFile(f.output + "files.txt"), "0000___B.ZIP\ta\r\n");
  EXPECT_TRUE(fs::exists(f.output + "0000___b.zip"));
  EXPECT_TRUE(fs::is_empty(f.dir / "later"));
}

TEST(Pass, TickDuringSearchRearmsAndChangesNothing) {
  Folders f;
  f.Add("a.b", "ab");
  JobHarness h;
  bool ticked = false;
  h.before_find = [&] {
    if (ticked) return;
    ticked = true;
    h.timer.interval = BatchJob::kTimerPeriod;
    h.job.Timer1Timer();
    EXPECT_EQ(h.timer.interval, BatchJob::kTimerPeriod);
    EXPECT_FALSE(fs::exists(f.output + "files.txt"));
  };
  h.Start(f.source, f.output);
  ASSERT_TRUE(ticked);
  EXPECT_EQ(h.panel.texts, std::vector<std::string>{""});
  h.RunTimer();
  EXPECT_EQ(h.panel.texts.back(), kCompletionText);
}

TEST(PassFailure, IndexNotCreatableStopsBeforeAnyArchive) {
  Folders f;
  f.Add("a.b", "ab");
  for (const std::string& output : {f.output}) {
    SCOPED_TRACE(output);
    fs::create_directory(output + "files.txt");  // in the way
    JobHarness h;
    h.Start(f.source, output);
    try {
      h.RunTimer();
      FAIL() << "no error";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message(), "ファイル " + output + "files.txt を作成できません");
      EXPECT_EQ(ReasonText(e.GetReason()), EInOutError::MessageFor(5));
    }
    EXPECT_EQ(h.panel.texts, std::vector<std::string>{""});
    EXPECT_EQ(h.timer.interval, 0);
    EXPECT_FALSE(fs::exists(output + "0000___b.zip"));
  }
}

TEST(PassFailure, ThirdOfFiveLeavesTwoArchivesAndTheWholeIndex) {
  Folders f;
  for (const auto& [name, expected] : kNames) f.Add(name, MakeBytes(20000, name.size(), true));
  JobHarness h;
  h.Start(f.source, f.output);
  ASSERT_EQ(h.state.FileCount, 5);
  const std::string third = (*h.state.SourceFiles)[2];
  h.pump.on_step = [&](int call) {
    if (call == 2) fs::remove(third);  // gone before the pass reaches it
  };
  try {
    h.RunTimer();
    FAIL() << "no error";
  } catch (const EGZipError& e) {
    EXPECT_EQ(e.Message(), "Error opening " + third);
  }
  EXPECT_EQ(h.panel.texts, (std::vector<std::string>{"", "(0/4)", "(1/4)"}));
  EXPECT_EQ(h.timer.interval, 0);
  for (int i = 0; i < 2; ++i)
    ExpectArchiveReadable(f.ArchiveOf(i, NameOf(h, i)), {{NameOf(h, i), f.contents[NameOf(h, i)]}});
  for (int i = 3; i < 5; ++i) EXPECT_FALSE(fs::exists(f.ArchiveOf(i, NameOf(h, i))));
  const std::string index = ReadFile(f.output + "files.txt");
  EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), 5);
  // A new start runs again from a clean slate.
  f.Add(PathSyntax::Native().ExtractFileName(third), "back");
  h.Start(f.source, f.output);
  h.RunTimer();
  EXPECT_EQ(h.panel.texts.back(), kCompletionText);
}

// The source folder and the collected file the pass must not write over.
void ExpectRefused(const std::string& source, const std::string& output, const std::string& victim,
                   const std::string& named_in_message) {
  const std::string before = ReadFile(victim);
  const auto entries_before = EntriesIn(source);
  JobHarness h;
  h.Start(source, output);
  try {
    h.RunTimer();
    FAIL() << "no error";
  } catch (const ESourceOverwrite& e) {
    EXPECT_NE(e.Message().find(named_in_message), std::string::npos) << e.Message();
  }
  EXPECT_EQ(ReadFile(victim), before);
  EXPECT_EQ(EntriesIn(source), entries_before);  // no archive, no index
  EXPECT_EQ(h.panel.texts, std::vector<std::string>{""});
}

TEST(PassOverwrite, OutputIsSourceHoldingTheIndex) {
  Folders f;
  f.Add("a.b", "ab");
  f.Add("files.txt", "an index of last week");
  ExpectRefused(f.source, f.source, f.source + "files.txt", f.source + "files.txt");
}

TEST(PassOverwrite, OutputIsSourceHoldingAFileNamedLikeItsOwnArchive) {
  Folders f;
  WriteFile(f.source + "0000_zip.zip", "not an archive of ours");
  ExpectRefused(f.source, f.source, f.source + "0000_zip.zip", f.source + "0000_zip.zip");
}

TEST(PassOverwrite, SameFileThroughAHardLinkOrALinkedFolder) {
  Folders f;
  WriteFile(f.output + "files.txt", "old index");
  fs::create_hard_link(f.output + "files.txt", f.source + "notes.txt");
  ExpectRefused(f.source, f.output, f.output + "files.txt", f.source + "notes.txt");

  Folders g;
  g.Add("files.txt", "kept");
  fs::create_directory_symlink(g.source, g.dir / "alias");
  ExpectRefused(g.source, g.dir / "alias/", g.source + "files.txt", g.source + "files.txt");
}

TEST(PassOverwrite, OutputIsSourceWithoutClashArchivesBesideTheFiles) {
  Folders f;
  f.Add("a.b", "ab");
  JobHarness h;
  h.Start(f.source, f.source);
  h.RunTimer();
  EXPECT_EQ(h.panel.texts.back(), kCompletionText);
  ExpectArchiveReadable(f.source + "0000___b.zip", {{"a.b", "ab"}});
  EXPECT_EQ(ReadFile(f.source + "a.b"), "ab");
}

TEST(PassInput, StartDuringAPassIsRefusedAndThePassGoesOn) {
  Folders f;
  f.Add("report.docx", "r");
  f.Add("a.b", "ab");
  f.Add("Makefile", "all:");
  fs::create_directory(f.dir / "other");
  JobHarness h;
  h.Start(f.source, f.output);
  const std::vector<std::string> sources = h.state.SourceFiles->Items();
  h.pump.on_step = [&](int call) {
    if (call != 1) return;
    h.edit1.text = f.dir / "other/";
    const std::size_t shown = h.panel.texts.size();
    EXPECT_THROW(h.job.Button1Click(), EJobBusy);
    EXPECT_EQ(h.panel.texts.size(), shown);  // the running pass's progress stays
    EXPECT_EQ(h.state.FileCount, 3);
    EXPECT_EQ(h.state.SourceFiles->Items(), sources);
    EXPECT_EQ(h.timer.interval, 0);
  };
  h.RunTimer();
  EXPECT_EQ(h.panel.texts.back(), kCompletionText);
  ExpectRunOutput(f, h);
  EXPECT_FALSE(h.job.PassRunning());
  // A start refused by its folder checks leaves no completion text standing.
  EXPECT_THROW(h.Start(f.dir / "missing/", f.output), EFolderError);
  EXPECT_EQ(h.panel.texts.back(), "");
  h.Start(f.dir / "other/", f.output);  // accepted again once the pass is over
  EXPECT_EQ(h.state.FileCount, 0);
}

TEST(PassInput, CloseDuringAPassEndsItAfterTheCurrentFile) {
  Folders f;
  f.Add("report.docx", "r");
  f.Add("a.b", "ab");
  f.Add("Makefile", "all:");
  JobHarness h;
  h.Start(f.source, f.output);
  const std::string first = NameOf(h, 0);
  const std::string second = NameOf(h, 1);
  h.pump.on_step = [&](int call) {
    if (call != 1) return;
    h.job.FormClose();
    EXPECT_TRUE(h.state.Exists());  // still walked by the pass
  };
  h.RunTimer();
  EXPECT_FALSE(h.state.Exists());
  EXPECT_EQ(h.panel.texts, (std::vector<std::string>{"", "(0/2)"}));
  ExpectArchiveReadable(f.ArchiveOf(0, first), {{first, f.contents[first]}});
  EXPECT_FALSE(fs::exists(f.ArchiveOf(1, second)));
  // With the lists gone the handlers do nothing.
  EXPECT_NO_THROW(h.job.Button1Click());
  h.timer.interval = BatchJob::kTimerPeriod;
  EXPECT_NO_THROW(h.job.Timer1Timer());
  EXPECT_EQ(h.timer.interval, 0);
}

}  // namespace
}  // namespace kel::test
