// The terminal status line of kelvarin-batch: its content, its width, what it prints and when.
#include "batch/progress_display.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "job/archive_step.h"

namespace kel::test {
namespace {

ProgressFacts Facts(int32_t done, int32_t files, uint64_t bytes_done, uint64_t bytes,
                    double elapsed, std::string name) {
  ProgressFacts f;
  f.files_done = done;
  f.files = files;
  f.bytes_done = bytes_done;
  f.bytes = bytes;
  f.elapsed_seconds = elapsed;
  f.current_name = std::move(name);
  return f;
}

TEST(ProgressLine, ShowsCountsShareTimesAndName) {
  EXPECT_EQ(ProgressLine(Facts(12, 1527, 45'600'000, 140'200'000, 12.7, "note0012.txt"), 200,
                         CodePage::kUtf8),
            "12/1527 files  45.6/140.2 MB  32%  elapsed 0:12  left 0:26  note0012.txt");
  // Nothing done yet: no estimate. Small totals in bytes.
  EXPECT_EQ(ProgressLine(Facts(0, 3, 0, 900, 0.2, ""), 200, CodePage::kUtf8),
            "0/3 files  0/900 B  0%  elapsed 0:00  left --:--");
  // Hours, gigabytes, and a run of empty files measured by files instead of bytes.
  EXPECT_EQ(
      ProgressLine(Facts(1, 2, 2'500'000'000, 5'000'000'000, 3725, "a"), 200, CodePage::kUtf8),
      "1/2 files  2.5/5.0 GB  50%  elapsed 1:02:05  left 1:02:05  a");
  EXPECT_EQ(ProgressLine(Facts(1, 4, 0, 0, 10, ""), 200, CodePage::kUtf8),
            "1/4 files  0/0 B  25%  elapsed 0:10  left 0:30");
}

TEST(ProgressLine, FitsTheTerminalByWholeCharacters) {
  const ProgressFacts f = Facts(1, 2, 10, 20, 1, "日本語のファイル名.txt");
  const std::string full = ProgressLine(f, 500, CodePage::kUtf8);
  const int width = DisplayWidth(full, CodePage::kUtf8);
  EXPECT_TRUE(full.ends_with("  日本語のファイル名.txt")) << full;
  // One column short of the whole line: the last column stays free, so ".txt" loses its "t".
  EXPECT_EQ(ProgressLine(f, width, CodePage::kUtf8), full.substr(0, full.size() - 1));
  // A wide character that does not fit whole is left out, never cut.
  const std::size_t name_at = full.find("日本語");
  const int before_name = DisplayWidth(full.substr(0, name_at), CodePage::kUtf8);
  EXPECT_EQ(ProgressLine(f, before_name + 4, CodePage::kUtf8),
            full.substr(0, name_at) + "日");  // 3 columns free: one wide character
  EXPECT_EQ(ProgressLine(f, before_name + 2, CodePage::kUtf8), full.substr(0, name_at));
  // A terminal narrower than the counts cuts them too, never past the width.
  const std::string narrow = ProgressLine(f, 10, CodePage::kUtf8);
  EXPECT_LE(DisplayWidth(narrow, CodePage::kUtf8), 9);
  EXPECT_EQ(narrow, "1/2 files");
}

TEST(ProgressLine, ControlCharactersAndBrokenBytesNeverReachTheTerminal) {
  const std::string line = ProgressLine(
      Facts(0, 1, 0, 1, 0, "evil\x1b]0;title\x07\n\xff\xc2\x85name"), 200, CodePage::kUtf8);
  EXPECT_TRUE(line.ends_with("evil?]0;title??\?\?name")) << line;
  EXPECT_EQ(DisplayWidth("ｶﾅ表e\xcc\x81", CodePage::kUtf8), 5);  // half, half, wide, e + accent
  EXPECT_EQ(DisplayWidth("\x95\x5c\xb6", CodePage::kShiftJis), 3);
}

TEST(TerminalPanel, RewritesOneLineAndEndsWithTheCompletionText) {
  std::ostringstream out;
  int files_done = 0;
  TerminalPanel panel(
      out, [&] { return Facts(files_done, 3, files_done * 10, 30, 0, "f.txt"); }, [] { return 80; },
      CodePage::kUtf8);
  panel.Start();
  const std::string first = out.str();
  EXPECT_TRUE(first.starts_with("\r0/3 files  0/30 B  0%")) << first;
  EXPECT_TRUE(first.ends_with("\x1b[K")) << first;

  // Progress texts redraw at most ten times a second.
  files_done = 1;
  panel.SetText("(0/2)");
  EXPECT_EQ(out.str(), first);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  panel.Tick();
  EXPECT_NE(out.str().find("\r1/3 files  10/30 B  33%"), std::string::npos) << out.str();

  panel.Clear();
  EXPECT_TRUE(out.str().ends_with("\r\x1b[K"));
  panel.SetText(kCompletionText);
  const std::string all = out.str();
  // The status line is cleared once; the completion text stands on a line of its own.
  EXPECT_TRUE(all.ends_with(std::string("\x1b[K") + kCompletionText + "\n")) << all;
  EXPECT_EQ(all.find("(0/2)"), std::string::npos);
}

TEST(LinePanel, EveryTextOnALineOfItsOwn) {
  std::ostringstream out;
  LinePanel panel(out);
  for (const char* text : {"", "(0/1)", "(1/1)", kCompletionText}) panel.SetText(text);
  EXPECT_EQ(out.str(), std::string("(0/1)\n(1/1)\n") + kCompletionText + "\n");
}

}  // namespace
}  // namespace kel::test
