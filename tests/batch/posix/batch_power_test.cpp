// kelvarin-batch's options: --jobs (parallel runs write what serial runs write), --verify,
// --keep-going and --encoding cp932, through the program and through RunBatch with its seams.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "batch/batch_options.h"
#include "batch/batch_program.h"
#include "batch/batch_run.h"
#include "batch/progress_display.h"
#include "platform/code_page.h"
#include "platform/exceptions.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

// Every regular file of `folder`: name -> content.
std::map<std::string, std::string> FolderBytes(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files[entry.path().filename()] = ReadFile(entry.path());
  return files;
}

// The files of `folder` in the order the search reports them (the directory's own order), so a
// test knows which file gets which number.
std::vector<std::string> CollectionOrder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(entry.path().filename());
  return names;
}

// The archive path of file `index` whose name ends in `extension_field` ("_txt").
std::string ArchiveOf(const std::string& out, int index, const std::string& extension_field) {
  char sequence[8];
  std::snprintf(sequence, sizeof sequence, "%04d", index);
  return out + "/" + sequence + extension_field + ".zip";
}

struct InProcessRun {
  int status;
  std::string out;
  std::string err;
};

InProcessRun RunInProcess(const BatchSettings& settings) {
  std::ostringstream out, err;
  const int status = RunBatch(settings, out, err);
  return {status, out.str(), err.str()};
}

BatchSettings Settings(const std::string& in, const std::string& out, int jobs) {
  BatchSettings s;
  s.source = in;
  s.output = out;
  s.jobs = jobs;
  return s;
}

// A few hundred files of the sizes that matter to the entry stream (empty, one byte, around
// its 16 KiB buffer), larger ones, text and noise, awkward names.
void MakeMixedFolder(const std::string& in) {
  fs::create_directories(in);
  const std::vector<std::size_t> sizes = {0, 1, 16383, 16384, 16385, 700, 40000, 3000};
  const std::vector<std::string> extensions = {".txt", ".bin", ".jpeg", "", ".tar.gz", ".テキスト"};
  for (int i = 0; i < 300; ++i) {
    std::size_t size = sizes[static_cast<std::size_t>(i) % sizes.size()];
    if (i % 50 == 7) size = 900000 + static_cast<std::size_t>(i) * 1000;
    std::string name = (i % 9 == 4    ? "日本語 "
                        : i % 13 == 0 ? "."
                                      : "file") +
                       std::to_string(i) +
                       extensions[static_cast<std::size_t>(i) % extensions.size()];
    WriteFile(in + "/" + name, MakeBytes(size, static_cast<unsigned>(i), i % 3 != 0));
  }
  fs::create_directory(in + "/sub-folder");
}

TEST(ParallelRun, SameArchivesIndexAndOutputAsSerial) {
  TempDir dir;
  MakeMixedFolder(dir / "in");
  std::map<std::string, std::string> serial_files;
  ProgramRun serial{};
  for (const char* jobs : {"1", "2", "7"}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("out" + std::string(jobs));
    fs::create_directory(out);
    const ProgramRun run = RunBatchProgram(Args(dir / "in", out) + " --jobs " + jobs);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto files = FolderBytes(out);
    EXPECT_EQ(files.size(), 301u);  // 300 archives and files.txt
    if (serial_files.empty()) {
      serial_files = files;
      serial = run;
      EXPECT_TRUE(run.out.starts_with("(0/299)\n(1/299)\n")) << run.out.substr(0, 100);
      EXPECT_TRUE(run.out.ends_with("(299/299)\n圧縮が完了しました．\n"));
    } else {
      EXPECT_EQ(run.out, serial.out);
      EXPECT_TRUE(files == serial_files) << "archives or index differ from the serial run's";
    }
  }
  // The default is one job per core, and its output is the same again.
  fs::create_directory(dir / "out-default");
  const ProgramRun run = RunBatchProgram(Args(dir / "in", dir / "out-default"));
  EXPECT_EQ(run.out, serial.out);
  EXPECT_TRUE(FolderBytes(dir / "out-default") == serial_files);

  // Spot checks with outside readers: the largest file, an empty one, Japanese names. An
  // archive's number is its source's place in the collection order.
  const std::vector<std::string> order = CollectionOrder(dir / "in");
  const std::set<std::string> chosen = {"file7.bin", ".0.txt", "日本語 4.tar.gz", "file5.テキスト"};
  int checked = 0;
  for (const auto& [archive, bytes] : serial_files) {
    if (archive == "files.txt") continue;
    const std::string& name = order[static_cast<std::size_t>(std::stoi(archive.substr(0, 4)))];
    if (!chosen.contains(name)) continue;
    ExpectArchiveReadable(dir / "out2/" + archive, {{name, ReadFile(dir / "in/" + name)}});
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

TEST(ParallelRun, FailureReportsTheEarliestFailingFileInFileOrder) {
  TempDir dir;
  fs::create_directories(dir / "in");
  for (int i = 0; i < 8; ++i) WriteFile(dir / ("in/f" + std::to_string(i) + ".txt"), "text");
  for (int jobs : {1, 3}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("out" + std::to_string(jobs));
    fs::create_directory(out);
    BatchSettings s = Settings(dir / "in", out, jobs);
    // With three workers file 3 fails at once, while file 1 still holds up the report and file 2
    // fails only later. The run must report file 2, where a file-by-file run stops.
    s.after_close = [](int32_t index, const std::string&) {
      if (index == 1) std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (index == 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        throw EInOutError("second failure in time, first in order", 5);
      }
      if (index == 3) throw EInOutError("first failure in time", 5);
    };
    const InProcessRun run = RunInProcess(s);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "(0/7)\n(1/7)\n");
    EXPECT_EQ(run.err, "second failure in time, first in order.\n");
    EXPECT_EQ(ReadFile(out + "/files.txt").size(), 8 * 17u);  // "0000_TXT.ZIP\tf0\r\n"
    for (int i = 0; i < 2; ++i) {
      const std::string name = CollectionOrder(dir / "in")[static_cast<std::size_t>(i)];
      ExpectArchiveReadable(ArchiveOf(out, i, "_txt"), {{name, "text"}});
    }
    // Nothing is handed out behind a failure: files 2 and 3 had been begun, no later one; and
    // a file that failed leaves no archive, whenever it failed.
    for (int i = 2; i < 8; ++i) EXPECT_FALSE(fs::exists(ArchiveOf(out, i, "_txt"))) << i;
  }
}

// Five files, the third too large for a 1 MiB file size limit.
struct FullDiskFolder {
  explicit FullDiskFolder(const TempDir& dir) : in(dir / "in") {
    fs::create_directory(in);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
      WriteFile(in + "/" + name, "");
    order = CollectionOrder(in);
    for (std::size_t i = 0; i < order.size(); ++i)
      WriteFile(in + "/" + order[i], MakeBytes(i == 2 ? 8 << 20 : 3000, i, i != 2));
  }
  std::string in;
  std::vector<std::string> order;
};

constexpr const char* kFileSizeLimit = "trap '' XFSZ; ulimit -f 2048 &&";

TEST(ParallelRun, FullFileSystemFailsLikeTheSerialRun) {
  TempDir dir;
  const FullDiskFolder folder(dir);
  std::map<std::string, ProgramRun> runs;
  for (const char* jobs : {"1", "2"}) {
    const std::string out = dir / ("out" + std::string(jobs));
    fs::create_directory(out);
    runs[jobs] = RunBatchProgram(Args(folder.in, out) + " -j" + jobs, kFileSizeLimit);
    EXPECT_EQ(runs[jobs].status, 1);
    EXPECT_EQ(runs[jobs].out, "(0/4)\n(1/4)\n");
    EXPECT_EQ(ReadFile(out + "/files.txt").size(), 5 * 16u);
    for (int i : {0, 1, 3, 4}) {
      const std::string archive = ArchiveOf(out, i, "_txt");
      // Before the failing file every archive is complete; behind it, only a parallel run may
      // have written some, and those are complete too.
      if (i < 2 || fs::exists(archive))
        ExpectArchiveReadable(archive,
                              {{folder.order[i], ReadFile(folder.in + "/" + folder.order[i])}});
    }
  }
  // The same message, about the same file; only the output folder differs.
  for (const char* jobs : {"1", "2"}) {
    EXPECT_EQ(runs[jobs].err, "Error writing to " +
                                  ArchiveOf(dir / ("out" + std::string(jobs)), 2, "_txt") +
                                  ". (ディスクがいっぱいです)\n");
  }
}

TEST(KeepGoing, FullFileSystemSkipsTheFileAndRemovesItsArchive) {
  TempDir dir;
  const FullDiskFolder folder(dir);
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("out" + std::string(jobs));
    fs::create_directory(out);
    const ProgramRun run =
        RunBatchProgram(Args(folder.in, out) + " --keep-going --jobs=" + jobs, kFileSizeLimit);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "(0/4)\n(1/4)\n(2/4)\n(3/4)\n(4/4)\n");
    const std::string source = folder.in + "/" + folder.order[2];
    const std::string reason =
        "Error writing to " + ArchiveOf(out, 2, "_txt") + ". (ディスクがいっぱいです)";
    EXPECT_EQ(run.err, "ファイル " + source + " を飛ばしました: " + reason + "\n" +
                           "4 個のファイルを圧縮しました。1 個のファイルは圧縮できませんでした:\n" +
                           "  " + source + ": " + reason + "\n");
    EXPECT_FALSE(fs::exists(ArchiveOf(out, 2, "_txt")));
    for (int i : {0, 1, 3, 4})
      ExpectArchiveReadable(ArchiveOf(out, i, "_txt"),
                            {{folder.order[i], ReadFile(folder.in + "/" + folder.order[i])}});
    // Written again at the end without the archive that is not there.
    EXPECT_EQ(ReadFile(out + "/files.txt").size(), 4 * 16u);
    EXPECT_EQ(ReadFile(out + "/files.txt").find("0002_TXT.ZIP"), std::string::npos);
  }
}

TEST(KeepGoing, FilesGoneOrReplacedAfterCollection) {
  TempDir dir;
  fs::create_directories(dir / "in");
  for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat", "e.dat", "f.dat"})
    WriteFile(dir / "in/" + name, name);
  const std::vector<std::string> order = CollectionOrder(dir / "in");
  std::map<int, InProcessRun> runs;
  for (int jobs : {1, 3}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("out" + std::to_string(jobs));
    fs::create_directory(out);
    BatchSettings s = Settings(dir / "in", out, jobs);
    s.keep_going = true;
    s.after_collection = [&] {
      fs::remove(dir / "in/" + order[1]);
      fs::remove(dir / "in/" + order[3]);
      fs::create_directory(dir / "in/" + order[3]);
      // Someone else's folder where archive 4 is to go: it cannot be created, and nothing of
      // the folder may be removed.
      fs::create_directory(ArchiveOf(out, 4, "_dat"));
      WriteFile(ArchiveOf(out, 4, "_dat") + "/keep", "keep");
    };
    runs[jobs] = RunInProcess(s);
    fs::remove(dir / "in/" + order[3]);
    WriteFile(dir / "in/" + order[1], order[1]);
    WriteFile(dir / "in/" + order[3], order[3]);

    const InProcessRun& run = runs[jobs];
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.ends_with("(4/5)\n(5/5)\n")) << run.out;
    // In process no catalogue is in use: the run's own texts are English, the system's
    // messages as always.
    const std::string gone = "Error opening " + dir / "in/" + order[1] + ". (file not found)";
    const std::string folder_instead =
        "Error opening " + dir / "in/" + order[3] + ". (not a regular file)";
    const std::string denied =
        "ファイルへのアクセスが拒否されました. (" + ArchiveOf(out, 4, "_dat") + ")";
    const std::string summary = "3 files were archived; 3 files could not be archived:\n";
    EXPECT_TRUE(run.err.ends_with(summary + "  " + dir / "in/" + order[1] + ": " + gone + "\n" +
                                  "  " + dir / "in/" + order[3] + ": " + folder_instead + "\n" +
                                  "  " + dir / "in/" + order[4] + ": " + denied + "\n"))
        << run.err;
    EXPECT_TRUE(
        run.err.starts_with("File " + dir / "in/" + order[1] + " was skipped: " + gone + "\n"))
        << run.err;
    for (int i : {0, 2, 5})
      ExpectArchiveReadable(ArchiveOf(out, i, "_dat"), {{order[i], order[i]}});
    EXPECT_FALSE(fs::exists(ArchiveOf(out, 1, "_dat")));
    EXPECT_FALSE(fs::exists(ArchiveOf(out, 3, "_dat")));
    EXPECT_EQ(ReadFile(ArchiveOf(out, 4, "_dat") + "/keep"), "keep");
    std::string index;
    for (int i : {0, 2, 5})
      index += "000" + std::to_string(i) + "_DAT.ZIP\t" + order[i].substr(0, 1) + "\r\n";
    EXPECT_EQ(ReadFile(out + "/files.txt"), index);
  }
  // The same lines, but for the output folder each names.
  std::string err3 = runs[3].err;
  for (std::size_t at; (at = err3.find(dir / "out3")) != std::string::npos;)
    err3.replace(at, (dir / "out3").size(), dir / "out1");
  EXPECT_EQ(err3, runs[1].err);
  EXPECT_EQ(runs[3].out, runs[1].out);
}

TEST(Verify, DamageBetweenCloseAndVerificationFailsTheRun) {
  TempDir dir;
  fs::create_directories(dir / "in");
  for (const char* name : {"a.log", "b.log", "c.log"})
    WriteFile(dir / "in/" + name, MakeBytes(60000, name[0], true));
  // Flips one bit of archive 1's deflate data, as a bad disk or cable would.
  auto damage = [](int32_t index, const std::string& archive) {
    if (index != 1) return;
    std::string bytes = ReadFile(archive);
    bytes[bytes.size() / 2] ^= 0x04;
    WriteFile(archive, bytes);
  };
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("out" + std::to_string(jobs));
    fs::create_directory(out);
    BatchSettings s = Settings(dir / "in", out, jobs);
    s.after_close = damage;
    EXPECT_EQ(RunInProcess(s).status, 0) << "without --verify the damage goes unnoticed";

    s.verify = true;
    const InProcessRun run = RunInProcess(s);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "(0/2)\n");
    EXPECT_TRUE(
        run.err.starts_with("書庫 " + ArchiveOf(out, 1, "_log") + " の検証に失敗しました: "))
        << run.err;

    // With --keep-going the damaged archive is reported and removed, the others stay.
    s.keep_going = true;
    const InProcessRun going = RunInProcess(s);
    EXPECT_EQ(going.status, 1);
    EXPECT_NE(going.err.find("2 files were archived; 1 file could not be archived:"),
              std::string::npos)
        << going.err;
    EXPECT_FALSE(fs::exists(ArchiveOf(out, 1, "_log")));
    EXPECT_TRUE(fs::exists(ArchiveOf(out, 2, "_log")));
  }
  // Undamaged archives pass, also through the program.
  fs::create_directory(dir / "verified");
  const ProgramRun run = RunBatchProgram(Args(dir / "in", dir / "verified") + " --verify");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "(0/2)\n(1/2)\n(2/2)\n圧縮が完了しました．\n");
}

TEST(TerminalRun, StatusLineInPlaceThenTheCompletionTextAlone) {
  TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  for (int i = 0; i < 5; ++i)
    WriteFile(dir / ("in/日本語の長い名前のファイル" + std::to_string(i) + ".txt"),
              MakeBytes(200000, static_cast<unsigned>(i), true));
  BatchSettings s = Settings(dir / "in", dir / "out", 2);
  s.terminal = true;
  s.terminal_columns = [] { return 40; };
  const InProcessRun run = RunInProcess(s);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  // No progress text of its own line; every redraw returns to the line's start and clears the
  // rest of it; the completion text stands alone after the line was cleared.
  EXPECT_EQ(run.out.find("(0/4)"), std::string::npos);
  EXPECT_TRUE(run.out.starts_with("\r0/5 files  0.0/1.0 MB  0%")) << run.out;
  EXPECT_TRUE(run.out.ends_with("\r\x1b[K圧縮が完了しました．\n")) << run.out;
  std::size_t at = 0;
  while ((at = run.out.find('\r', at)) != std::string::npos) {
    const std::size_t end = run.out.find("\x1b[K", at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(DisplayWidth(run.out.substr(at + 1, end - at - 1), CodePage::kUtf8), 39);
    at = end;
  }
}

// What Python reads when it decodes `bytes` as CP932 (an outside decoder, not ours).
std::string PythonCp932Decode(const std::string& path) {
  std::string text;
  const int status = RunCommand(
      "python3 -c \"import sys; sys.stdout.buffer.write(open(sys.argv[1], "
      "'rb').read().decode('cp932').encode('utf-8'))\" " +
          ShellQuote(path),
      &text);
  EXPECT_EQ(status, 0) << text;
  return text;
}

uint16_t Field16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}

TEST(Cp932, NamesAndIndexAsJapaneseWindowsWritesThem) {
  TempDir dir;
  fs::create_directories(dir / "in");
  // 表 and ソ end in the byte 0x5C; ① and － exist only in Microsoft's table; ｶﾀｶﾅ is one byte
  // per character.
  const std::vector<std::string> names = {"日本語.txt", "表示.csv", "ｶﾀｶﾅ.dat",
                                          "①～－.txt",  "ソース.c", "plain.txt"};
  for (const std::string& name : names) WriteFile(dir / "in/" + name, "content of " + name);
  fs::create_directory(dir / "utf8");
  fs::create_directory(dir / "cp932");
  ASSERT_EQ(RunBatchProgram(Args(dir / "in", dir / "utf8")).status, 0);
  const ProgramRun run =
      RunBatchProgram(Args(dir / "in", dir / "cp932") + " --encoding cp932 --jobs 2 --verify");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  // The index: the UTF-8 run's lines in CP932, and Python decodes it as CP932 to them.
  const std::string utf8_index = ReadFile(dir / "utf8/files.txt");
  const std::string cp932_index = ReadFile(dir / "cp932/files.txt");
  EXPECT_EQ(Utf8ToCp932(utf8_index), cp932_index);
  EXPECT_NE(utf8_index, cp932_index);
  EXPECT_EQ(PythonCp932Decode(dir / "cp932/files.txt"), utf8_index);

  const std::vector<std::string> order = CollectionOrder(dir / "in");
  for (const auto& [archive, bytes] : FolderBytes(dir / "cp932")) {
    if (archive == "files.txt") continue;
    SCOPED_TRACE(archive);
    const std::string name = order[static_cast<std::size_t>(std::stoi(archive.substr(0, 4)))];
    ExpectArchiveReadable(dir / "cp932/" + archive, {{name, "content of " + name}}, "cp932");
    const std::string cp932_name = *Utf8ToCp932(name);
    EXPECT_EQ(bytes.substr(30, cp932_name.size()), cp932_name);
    EXPECT_EQ(Field16(bytes, 6), 2);  // flags: no UTF-8 mark
    const std::size_t central = bytes.size() - 22 - 46 - cp932_name.size();
    EXPECT_EQ(Field16(bytes, central + 4), 20);  // made by: MS-DOS, 2.0
    EXPECT_EQ(Field16(bytes, central + 8), 2);
    EXPECT_EQ(Field16(bytes, central + 38), 0x20);  // archive bit only
  }
}

TEST(Cp932, WaveDashTakesMicrosoftsByte) {
  // "〜" (U+301C) is 0x81 0x60 as Windows writes it: readers show it as its fullwidth twin.
  TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  WriteFile(dir / "in/波〜.txt", "x");
  ASSERT_EQ(RunBatchProgram(Args(dir / "in", dir / "out") + " --encoding=CP932").status, 0);
  const std::string bytes = ReadFile(dir / "out/0000_txt.zip");
  EXPECT_EQ(bytes.substr(30, 8), "\x94\x67\x81\x60.txt");
  ExpectArchiveReadable(dir / "out/0000_txt.zip", {{"波～.txt", "x"}}, "cp932");
}

TEST(Cp932, UnwritableNameStopsBeforeAnythingIsWritten) {
  for (const std::string& name : std::vector<std::string>{"smile😀.txt", "price€.txt", "yen¥.txt",
                                                          "back\\slash.txt", "broken\xff.txt"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    WriteFile(dir / "in/" + name, "x");
    WriteFile(dir / "in/fine.txt", "x");
    const ProgramRun run =
        RunBatchProgram(Args(dir / "in", dir / "out") + " --encoding cp932 --keep-going");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    // "\\" is refused in every encoding, with a message of its own.
    const std::string why = name.find('\\') != std::string::npos
                                ? " の名前に使えない文字「\\」が含まれています。圧縮を中止しました"
                                : " の名前はシフト JIS (CP932) で書けません";
    EXPECT_EQ(run.err, "ファイル " + dir / "in/" + name + why + ".\n");
    EXPECT_TRUE(fs::is_empty(dir / "out"));
  }
}

TEST(BatchOptions, OptionForms) {
  BatchOptions o = ParseBatchOptions({"--jobs", "3", "a", "--verify", "b", "--keep-going"});
  EXPECT_EQ(o.action, BatchOptions::Action::kRun);
  EXPECT_EQ(o.jobs, 3);
  EXPECT_TRUE(o.verify);
  EXPECT_TRUE(o.keep_going);
  EXPECT_EQ(o.encoding, BatchEncoding::kSystem);
  EXPECT_FALSE(o.parallel_deflate);
  EXPECT_EQ(o.source, "a");
  EXPECT_EQ(o.output, "b");
  o = ParseBatchOptions({"a", "b", "-j12", "--encoding=cp932", "--parallel-deflate"});
  EXPECT_EQ(o.jobs, 12);
  EXPECT_TRUE(o.parallel_deflate);
  EXPECT_TRUE(SettingsFor(o).parallel_deflate);
  EXPECT_EQ(o.encoding, BatchEncoding::kCp932);
  o = ParseBatchOptions(
      {"-j", "1", "--jobs=2", "--encoding", "system", "--encoding", "UTF8", "a", "b"});
  EXPECT_EQ(o.jobs, 2);
  EXPECT_EQ(o.encoding, BatchEncoding::kUtf8);
  EXPECT_EQ(ParseBatchOptions({"a", "b", "--encoding=System"}).encoding, BatchEncoding::kSystem);
  EXPECT_EQ(ParseBatchOptions({"a", "b"}).jobs, 0);
  EXPECT_GE(EffectiveJobs(0), 1);
  EXPECT_EQ(EffectiveJobs(5), 5);

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"a", "b", "--jobs"},
                                             {"a", "b", "--jobs", "0"},
                                             {"a", "b", "--jobs", "-1"},
                                             {"a", "b", "-jx"},
                                             {"a", "b", "--jobs=2x"},
                                             {"a", "b", "--jobs", "99999"},
                                             {"a", "b", "--encoding", "shift_jis"},
                                             {"a", "b", "--encoding"},
                                             {"a", "b", "--verify=yes"},
                                             {"a", "b", "--parallel-deflate=4"},
                                             {"a", "b", "--keep"}}) {
    SCOPED_TRACE(bad.back());
    o = ParseBatchOptions(bad);
    EXPECT_EQ(o.action, BatchOptions::Action::kUsageError);
    EXPECT_FALSE(o.error.empty());
  }
  const ProgramRun run = RunBatchProgram("--jobs 0 a b", "", kEnglish);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "kelvarin-batch: bad number of jobs 0 (1 to 1024)\n" + BatchUsage());
}

}  // namespace
}  // namespace kel::test
