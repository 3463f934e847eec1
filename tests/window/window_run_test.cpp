// Whole runs through the window: folders typed into the fields, the start button clicked, the
// pass run by the timer; failures shown by the error display; input while a pass runs; and the
// program's start sequence from start to close.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gui/std_controls.h"
#include "gui/timer.h"
#include "job/archive_step.h"
#include "job/batch_job.h"
#include "job/job_state.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"
#include "window/start_sequence.h"
#include "window/window_fixture.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using test::Click;
using test::MakeBytes;
using test::ProgramText;
using test::ReadFile;
using test::Separator;
using test::ShownBy;
using test::TempDir;
using test::WaitUntil;
using test::WindowTest;
using test::WriteFile;

bool Exists(const std::string& path) { return fs::exists(fs::path(path)); }

struct IndexLine {
  std::string archive;  // disk form
  std::string base;
};

// The lines of files.txt in file order; each must end in CR LF.
std::vector<IndexLine> ReadIndex(const std::string& path) {
  std::vector<IndexLine> lines;
  const std::string text = ReadFile(path);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CR LF in " << path;
      break;
    }
    const std::string line = text.substr(pos, end - pos);
    const std::size_t tab = line.find('\t');
    EXPECT_EQ(tab, 12u) << line;
    std::string archive = line.substr(0, 12);
    for (char& c : archive) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lines.push_back({archive, tab == std::string::npos ? "" : line.substr(tab + 1)});
    pos = end + 2;
  }
  return lines;
}

class WindowRunTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }

  // Types both folders into the fields and clicks "圧縮実行".
  void TypeFoldersAndStart(const std::string& source, const std::string& output) {
    test::Type(*Form1->Edit1, source);
    test::Type(*Form1->Edit2, output);
    Click(*Form1->Button1);
  }

  bool WaitForCompletion() {
    return WaitUntil(
        [] { return Form1->Panel1->Caption() == ProgramText("圧縮が完了しました．"); });
  }

  // `count` files f00.bin, f01.bin, ... of incompressible bytes, so that a pass takes a while.
  std::map<std::string, std::string> MakeSlowSource(int count) {
    std::map<std::string, std::string> files;
    for (int i = 0; i < count; ++i) {
      const std::string name = std::string("f") + char('0' + i / 10) + char('0' + i % 10) + ".bin";
      files[name] = MakeBytes(400 * 1024, static_cast<unsigned>(i), /*text=*/false);
      WriteFile(source / name, files[name]);
    }
    return files;
  }

  // Runs `action` once, the first time the event loop turns inside a running pass.
  static void DuringPass(std::function<void()> action) {
    test::Later(
        [action = std::move(action)]() mutable {
          if (!Form1) return;  // the test ended without a pass
          if (!Form1->Job().PassRunning()) {
            DuringPass(std::move(action));
            return;
          }
          action();
        },
        1);
  }

  TempDir source;
  TempDir output;
};

TEST_F(WindowRunTest, TypedFoldersAndTheStartButtonArchiveEveryFileOfTheFolder) {
  // Names in UTF-8, as the archives hold them.
  const std::map<std::string, std::string> files = {
      {"alpha.txt", MakeBytes(70000, 1, /*text=*/true)},
      {"beta.docx", MakeBytes(20000, 2, /*text=*/false)},
      {"gamma", ""},
      {"報告書.md", "# 報告\n"},
  };
  for (const auto& [name, bytes] : files) WriteFile(source / ProgramText(name), bytes);
  ASSERT_TRUE(fs::create_directory(source / "sub"));
  WriteFile(source / "sub" + Separator() + "inner.txt", "not collected");

  // The output folder without its separator: the archives still go inside it.
  TypeFoldersAndStart(source.path() + Separator(), output.path());
  // The start action collected and armed the timer; the pass comes at its tick.
  EXPECT_EQ(Form1->Timer1->Interval(), 100u);
  EXPECT_TRUE(Form1->Timer1->Armed());
  EXPECT_EQ(TheJobState().FileCount, 4);
  ASSERT_TRUE(WaitForCompletion()) << Form1->Panel1->Caption();
  EXPECT_EQ(Form1->Timer1->Interval(), 0u);
  EXPECT_FALSE(Form1->Timer1->Armed());
  EXPECT_TRUE(capture.boxes.empty());
  EXPECT_EQ(Form1->CurrentSourceDir(), source.path() + Separator());

  const std::map<std::string, std::string> extension_field = {
      {"alpha", "_txt"}, {"beta", "docx"}, {"gamma", "____"}, {ProgramText("報告書"), "__md"}};
  const std::map<std::string, std::string> file_of = {{"alpha", "alpha.txt"},
                                                      {"beta", "beta.docx"},
                                                      {"gamma", "gamma"},
                                                      {ProgramText("報告書"), "報告書.md"}};
  const std::vector<IndexLine> index = ReadIndex(output / "files.txt");
  ASSERT_EQ(index.size(), 4u);
  std::set<std::string> sequence_numbers;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const IndexLine& line = index[i];
    SCOPED_TRACE(line.base);
    ASSERT_TRUE(file_of.count(line.base));
    sequence_numbers.insert(line.archive.substr(0, 4));
    if (i > 0) {
      EXPECT_LT(index[i - 1].archive, line.archive);  // sorted
    }
    EXPECT_EQ(line.archive.substr(4), extension_field.at(line.base) + ".zip");
    const std::string& name = file_of.at(line.base);
    test::ExpectArchiveReadable(output / line.archive, {{name, files.at(name)}},
                                test::ProgramNameEncoding());
  }
  EXPECT_EQ(sequence_numbers, (std::set<std::string>{"0000", "0001", "0002", "0003"}));
  // Nothing beside the output folder with its name as a prefix.
  for (const std::string beside : {"files.txt", "0000_txt.zip"}) {
    EXPECT_FALSE(Exists(output.path() + beside)) << beside;
  }
}

struct RefusedFields {
  std::string source;
  std::string output;
  std::string box;
};

// The working folder changed for the object's lifetime.
class ScopedCurrentPath {
 public:
  explicit ScopedCurrentPath(const std::string& path) : previous_(fs::current_path()) {
    fs::current_path(path);
  }
  ~ScopedCurrentPath() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST_F(WindowRunTest, FolderFieldsThatNameNoFolderAreRefusedWithABoxAndNothingIsWritten) {
  WriteFile(source / "a.txt", "a");
  WriteFile(output / "files.txt", "an older index\r\n");
  // Where an empty output field would put "files.txt" and the archives.
  TempDir working;
  const ScopedCurrentPath in_working(working.path());
  const std::string src = source.path() + Separator();
  const std::string out = output.path() + Separator();
  const std::string missing = source / "missing" + Separator();
  const auto text = ProgramText;
  const std::vector<RefusedFields> cases = {
      {missing, out, text("フォルダ ") + missing + text(" が見つかりません.")},
      {source / "a.txt", out, source / "a.txt" + text(" はフォルダではありません.")},
      {"", out, text("圧縮するフォルダが指定されていません.")},
      {src, output / "missing",
       text("フォルダ ") + output / "missing" + text(" が見つかりません.")},
      {src, output / "files.txt", output / "files.txt" + text(" はフォルダではありません.")},
      {src, "", text("出力先フォルダが指定されていません.")},
  };
  for (const RefusedFields& c : cases) {
    SCOPED_TRACE(c.box);
    capture.boxes.clear();
    Form1->Edit1->SetText(c.source);
    Form1->Edit2->SetText(c.output);
    Click(*Form1->Button1);
    ASSERT_EQ(capture.boxes.size(), 1u);
    EXPECT_EQ(capture.boxes[0].Text, c.box);
    EXPECT_EQ(capture.boxes[0].Flags, kMbOk | kMbIconError);
    EXPECT_FALSE(Form1->Timer1->Armed());
    EXPECT_TRUE(ShownBy(*Form1->Button1).enabled);
  }
  // Past the period at which an armed timer would have run a pass.
  test::Wait(3 * BatchJob::kTimerPeriod);
  EXPECT_EQ(capture.boxes.size(), 1u);
  EXPECT_EQ(Entries(output.path()), (std::set<std::string>{"files.txt"}));
  EXPECT_EQ(ReadFile(output / "files.txt"), "an older index\r\n");
  EXPECT_EQ(Entries(source.path()), (std::set<std::string>{"a.txt"}));
  EXPECT_EQ(Entries(working.path()), (std::set<std::string>{}));
}

struct PassFailure {
  std::string what;
  // Given the source and the output folder: what makes the pass fail, before the start or
  // between the collection and the timer's tick, and the box it gives.
  std::function<void(const TempDir&, const TempDir&)> before_start, before_tick;
  std::function<std::string(const TempDir&, const TempDir&)> box;
};

TEST_F(WindowRunTest, FailureOfThePassIsShownWithThePeriodAndItsReasonOnASecondLine) {
  const auto nothing = [](const TempDir&, const TempDir&) {};
  const std::vector<PassFailure> cases = {
      {"the index cannot be created",
       [](const TempDir&, const TempDir& out) { fs::create_directory(out / "files.txt"); }, nothing,
       [](const TempDir&, const TempDir& out) {
         return ProgramText("ファイル ") + out / "files.txt" +
                ProgramText(" を作成できません.\nファイルへのアクセスが拒否されました");
       }},
      {"a source vanished before the pass", nothing,
       [](const TempDir& in, const TempDir&) { ASSERT_TRUE(fs::remove(in / "a.txt")); },
       [](const TempDir& in, const TempDir&) {
         return "Error opening " + in / "a.txt" + ProgramText(".\nファイルが見つかりません");
       }},
  };
  for (const PassFailure& c : cases) {
    SCOPED_TRACE(c.what);
    capture.boxes.clear();
    const TempDir in, out;
    WriteFile(in / "a.txt", "a");
    c.before_start(in, out);
    Form1->Edit1->SetText(in.path() + Separator());
    Form1->Edit2->SetText(out.path() + Separator());
    Click(*Form1->Button1);
    c.before_tick(in, out);
    ASSERT_TRUE(WaitUntil([&] { return !capture.boxes.empty(); }));
    ASSERT_EQ(capture.boxes.size(), 1u);
    EXPECT_EQ(capture.boxes[0].Text, c.box(in, out));
    EXPECT_EQ(capture.boxes[0].Caption, "Kelvarin");
    EXPECT_EQ(capture.boxes[0].Flags, kMbOk | kMbIconError);
    // The window goes on: no retry, the panel as the start action left it, the start enabled.
    EXPECT_EQ(Form1->Timer1->Interval(), 0u);
    EXPECT_TRUE(ShownBy(*Form1->Button1).enabled);
    EXPECT_EQ(Form1->Panel1->Caption(), "");
    EXPECT_TRUE(ShownBy(*Form1).visible);
    // A failed file leaves no archive.
    EXPECT_FALSE(Exists(out / "0000_txt.zip"));
  }
}

TEST_F(WindowRunTest, StartButtonIsDisabledUntilThePassEndsAndStartsMeanwhileAreIgnored) {
  const std::map<std::string, std::string> files = MakeSlowSource(8);
  // A click on the disabled button, and Click() past the disabled window.
  const auto press_start = [] {
    Click(*Form1->Button1);
    Form1->Button1->Click();
  };
  bool enabled_during_pass = true;
  DuringPass([&] {
    enabled_during_pass = Form1->Button1->Enabled() || ShownBy(*Form1->Button1).enabled;
    press_start();
  });
  TypeFoldersAndStart(source.path() + Separator(), output.path() + Separator());
  // Before the timer's tick (a double click): the run holds the output folder already.
  EXPECT_FALSE(ShownBy(*Form1->Button1).enabled);
  press_start();
  ASSERT_TRUE(WaitForCompletion()) << Form1->Panel1->Caption();

  EXPECT_FALSE(enabled_during_pass);
  // No box for the ignored starts: nothing the pass would have waited behind.
  EXPECT_TRUE(capture.boxes.empty());
  EXPECT_TRUE(Form1->Button1->Enabled());
  EXPECT_TRUE(ShownBy(*Form1->Button1).enabled);
  EXPECT_EQ(Form1->ActiveControl(), Form1->Button1);  // the click gave it the focus; it is back
  EXPECT_FALSE(Form1->Timer1->Armed());               // the ignored start armed nothing
  EXPECT_EQ(TheJobState().FileCount, 8);
  const std::vector<IndexLine> index = ReadIndex(output / "files.txt");
  ASSERT_EQ(index.size(), 8u);
  for (const IndexLine& line : index) {
    const std::string name = line.base + ".bin";
    test::ExpectArchiveReadable(output / line.archive, {{name, files.at(name)}},
                                test::ProgramNameEncoding());
  }
}

TEST_F(WindowRunTest, CloseDuringAPassEndsItAfterTheFileInHandAndReleasesTheLists) {
  const std::map<std::string, std::string> files = MakeSlowSource(8);
  std::string panel_at_close;
  DuringPass([&] {
    panel_at_close = Form1->Panel1->Caption();
    Form1->Close();
  });
  TypeFoldersAndStart(source.path() + Separator(), output.path() + Separator());
  ASSERT_TRUE(WaitUntil([] { return !Form1->Job().PassRunning() && !TheJobState().Exists(); }));

  EXPECT_FALSE(ShownBy(*Form1).visible);
  EXPECT_TRUE(Application.Terminated());
  EXPECT_TRUE(Form1->Button1->Enabled());
  // The close came right after the first file: its archive is whole, no other was begun.
  EXPECT_EQ(panel_at_close, "(0/7)");
  EXPECT_EQ(Form1->Panel1->Caption(), "(0/7)");
  const std::vector<IndexLine> index = ReadIndex(output / "files.txt");
  ASSERT_EQ(index.size(), 8u);
  for (const IndexLine& line : index) {
    const bool first = line.archive.starts_with("0000");
    SCOPED_TRACE(line.archive);
    if (first) {
      const std::string name = line.base + ".bin";
      test::ExpectArchiveReadable(output / line.archive, {{name, files.at(name)}},
                                  test::ProgramNameEncoding());
    } else {
      EXPECT_FALSE(Exists(output / line.archive));
    }
  }
  // The released lists are not walked again: a late start or tick does nothing.
  Form1->Button1->Click();
  Form1->Timer1Timer(Form1->Timer1);
  EXPECT_FALSE(Form1->Timer1->Armed());
  EXPECT_TRUE(capture.boxes.empty());
}

TEST(StartSequence, ShowsTheWindowWithFocusOnButton2AndEndsWithStatusZeroWhenClosed) {
  test::BoxCapture capture;
  char program[] = "kelvarin";
  char* argv[] = {program, nullptr};
  int argc = 1;
  bool seen = false;
  test::Later([&] {
    ASSERT_NE(Form1, nullptr);
    EXPECT_TRUE(WaitUntil([] { return test::FocusedControl(*Form1) != nullptr; }, 5000));
    EXPECT_EQ(Application.MainForm(), Form1);
    EXPECT_EQ(Application.Title, "Kelvarin");
    EXPECT_EQ(Form1->Caption(), "Kelvarin");
    EXPECT_EQ(Form1->ActiveControl(), Form1->Button2);
    EXPECT_TRUE(test::FrameOf(*Form1).has_icon);
    EXPECT_TRUE(TheJobState().Exists());  // FormCreate ran
    seen = true;
    Form1->Close();
  });
  EXPECT_EQ(RunKelvarin(argc, argv), 0);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(TheJobState().Exists());  // FormClose ran
  EXPECT_EQ(Form1, nullptr);
  EXPECT_TRUE(capture.boxes.empty());
}

}  // namespace
}  // namespace kel
