// kelvarin-batch --check over a real run's output: the clean delivery passes with the same
// report whatever --jobs is, and each kind of damage to a copy of it is reported as its own
// problem with status 1, without a byte of either folder changed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>

#include "batch/batch_program.h"
#include "support/temp_dir.h"
#include "zip/zip_builder.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

// Every entry below `folder` with its bytes (or its link target), to see that nothing changed.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename();
    if (e.is_symlink()) {
      entries[name] = "-> " + fs::read_symlink(e.path()).string();
    } else if (e.is_regular_file()) {
      entries[name] = ReadFile(e.path()) +
                      std::to_string(fs::last_write_time(e.path()).time_since_epoch().count());
    } else {
      entries[name] = "(other)";
    }
  }
  return entries;
}

std::string Lower(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

class DeliveryCheck : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "in");
    fs::create_directories(dir_ / "out");
    WriteFile(dir_ / "in/report.docx", MakeBytes(70000, 7, true));
    WriteFile(dir_ / "in/photo.jpg", MakeBytes(20000, 8, false));  // stored blocks: bytes as is
    WriteFile(dir_ / "in/a.b", "ab");
    WriteFile(dir_ / "in/日本語.txt", MakeBytes(3000, 9, true));
    const ProgramRun run = RunBatchProgram(Args(dir_ / "in", dir_ / "out"));
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // A fresh copy of the run's folders (times kept) as "in2" and "out2".
  void Copy() {
    ASSERT_EQ(RunCommand("rm -rf " + ShellQuote(dir_ / "in2") + " " + ShellQuote(dir_ / "out2") +
                         " && cp -a " + ShellQuote(dir_ / "in") + " " + ShellQuote(dir_ / "in2") +
                         " && cp -a " + ShellQuote(dir_ / "out") + " " + ShellQuote(dir_ / "out2")),
              0);
  }

  // The listing name of the archive of `base` ("0002DOCX.ZIP").
  std::string Listing(const std::string& base) {
    const std::string index = ReadFile(dir_ / "out/files.txt");
    const std::size_t at = index.find("\t" + base + "\r\n");
    EXPECT_NE(at, std::string::npos) << base;
    return index.substr(at - 12, 12);
  }
  std::string Disk(const std::string& base) { return dir_ / "out2/" + Lower(Listing(base)); }
  std::string Path(const std::string& name) { return dir_ / name; }

  TempDir dir_;
};

TEST_F(DeliveryCheck, CleanDeliveryPassesWithTheSameReportForAnyJobs) {
  const auto before = Snapshot(dir_ / "out");
  const ProgramRun one =
      RunBatchProgram("--check -j1 " + Args(dir_ / "in", dir_ / "out"), "", kEnglish);
  EXPECT_EQ(one.status, 0) << one.out << one.err;
  EXPECT_EQ(one.out, "4 archives checked, " + one.out.substr(20, one.out.find(" bytes") - 20) +
                         " bytes read\n0 errors, 0 warnings\n");
  EXPECT_EQ(one.err, "");
  const ProgramRun four =
      RunBatchProgram("--check --jobs=4 " + Args(dir_ / "in", dir_ / "out"), "", kEnglish);
  EXPECT_EQ(four.out, one.out);
  // Without SOURCE, in Japanese.
  const ProgramRun output_only = RunBatchProgram("--check " + ShellQuote(dir_ / "out"));
  EXPECT_EQ(output_only.status, 0) << output_only.out;
  EXPECT_NE(output_only.out.find("4 個の書庫を検査"), std::string::npos) << output_only.out;
  EXPECT_EQ(Snapshot(dir_ / "out"), before);
}

// Names go through the run's encoding, and through the other one when that is not given; an
// extension field outside ISO 9660 level 1 is a warning. A folder that is its own source holds
// archives and files.txt that are not source files.
TEST(DeliveryCheckNames, EncodingsAndAFolderThatIsItsOwnSource) {
  TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  WriteFile(dir / "in/日本語.txt", "nihongo");
  WriteFile(dir / "in/写真.テキスト", MakeBytes(5000, 3, true));
  ASSERT_EQ(RunBatchProgram("--encoding cp932 " + Args(dir / "in", dir / "out")).status, 0);
  const std::string iso = "0001_テ.ZIP: warning: 0001_テ.zip holds characters that ISO 9660";
  for (const char* encoding : {"--encoding cp932 ", ""}) {
    SCOPED_TRACE(encoding);
    const ProgramRun run = RunBatchProgram(
        "--check " + std::string(encoding) + Args(dir / "in", dir / "out"), "", kEnglish);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(iso), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("0 errors, 1 warning\n"), std::string::npos) << run.out;
  }
  ASSERT_EQ(RunBatchProgram(Args(dir / "in", dir / "in")).status, 0);
  const ProgramRun same = RunBatchProgram("--check " + Args(dir / "in", dir / "in"), "", kEnglish);
  EXPECT_EQ(same.status, 0) << same.out;
  EXPECT_TRUE(same.out.starts_with(iso)) << same.out;
}

struct Fault {
  const char* what;
  std::function<void()> apply;        // on in2/out2
  std::vector<std::string> reported;  // lines (or their starts) expected
  bool warnings_only = false;         // then the status is 0
};

class DeliveryCheckFaults : public DeliveryCheck {
 public:
  void Run(const Fault& fault) {
    SCOPED_TRACE(fault.what);
    Copy();
    fault.apply();
    const auto in_before = Snapshot(dir_ / "in2"), out_before = Snapshot(dir_ / "out2");
    const std::string args = Args(dir_ / "in2", dir_ / "out2");
    const ProgramRun run = RunBatchProgram("--check -j1 " + args, "", kEnglish);
    EXPECT_EQ(run.status, fault.warnings_only ? 0 : 1) << run.out << run.err;
    for (const std::string& line : fault.reported)
      EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out << run.err;
    const std::string count =
        std::to_string(fault.warnings_only ? 0 : fault.reported.size()) + " error";
    if (!fault.reported.empty()) {
      EXPECT_NE(run.out.find("\n" + count), std::string::npos) << run.out;
    }
    EXPECT_EQ(RunBatchProgram("--check -j3 " + args, "", kEnglish).out, run.out);
    EXPECT_EQ(Snapshot(dir_ / "in2"), in_before);
    EXPECT_EQ(Snapshot(dir_ / "out2"), out_before);
  }
};

void Flip(const std::string& path, std::size_t at_from_end) {
  std::string bytes = ReadFile(path);
  bytes[bytes.size() - at_from_end] ^= 0x01;
  WriteFile(path, bytes);
}

TEST_F(DeliveryCheckFaults, EachFaultIsReportedAsItsProblem) {
  const std::string docx = Listing("report"), jpg = Listing("photo"), b = Listing("a");
  auto edit_index = [this](const std::function<void(std::string&)>& edit) {
    std::string index = ReadFile(Path("out2/files.txt"));
    edit(index);
    WriteFile(Path("out2/files.txt"), index);
  };
  auto replace = [](std::string& s, const std::string& from, const std::string& to) {
    s.replace(s.find(from), from.size(), to);
  };
  std::vector<Fault> faults = {
      {"deleted archive", [&] { fs::remove(Disk("report")); }, {docx + ": the archive is missing"}},
      {"stray archive",
       [&] { fs::copy_file(Disk("a"), fs::path(Disk("a")).parent_path() / "0099___b.zip"); },
       {"0099___B.ZIP: 0099___b.zip is not listed in files.txt"}},
      {"flipped byte in the data",
       [&] { Flip(Disk("photo"), 5000); },
       {jpg + ": CRC-32 does not match (recorded ", jpg + ": the file photo.jpg differs from"}},
      {"wrong CRC in the central record",
       [&] {
         const std::string path = Disk("a");
         std::string bytes = ReadFile(path);
         bytes[bytes.size() - 22 - 46 - 3 + 16] ^= 0x40;  // the record of "a.b"
         WriteFile(path, bytes);
       },
       {b + ": the local header differs from the central directory record",
        b + ": CRC-32 does not match"}},
      {"truncated archive",
       [&] { fs::resize_file(Disk("report"), 1000); },
       {docx + ": no end record"}},
      {"not a zip", [&] { WriteFile(Disk("report"), "hello\n"); }, {docx + ": no end record"}},
      {"two entries",
       [&] {
         TZipBuilder builder(PathSyntax{PathStyle::kNative, CodePage::kUtf8});
         builder.OpenArchive(Disk("a"), Path("in2/"));
         builder.AddFileToArchive(Path("in2/a.b"));
         builder.AddFileToArchive(Path("in2/photo.jpg"));
         builder.CloseArchive();
       },
       {b + ": holds 2 entries instead of one"}},
      {"extra line",
       [&] { edit_index([](std::string& s) { s += "0042____.ZIP\tghost\r\n"; }); },
       {"0042____.ZIP: the archive is missing"}},
      {"missing line",
       [&] { edit_index([&](std::string& s) { replace(s, b + "\ta\r\n", ""); }); },
       {b + ": " + Lower(b) + " is not listed in files.txt", "a.b: the file has no archive"}},
      {"byte-order mark",
       [&] { edit_index([](std::string& s) { s = "\xEF\xBB\xBF" + s; }); },
       {"files.txt line 1: starts with a byte-order mark"}},
      {"LF line ends",
       [&] {
         edit_index([](std::string& s) {
           for (std::size_t at; (at = s.find('\r')) != std::string::npos;) s.erase(at, 1);
         });
       },
       {"files.txt line 1: the line ends in LF, not CR LF"}},
      {"missing TAB",
       [&] { edit_index([&](std::string& s) { replace(s, b + "\t", b + " "); }); },
       {"no TAB between the archive name and the base name",
        b + ": " + Lower(b) + " is not listed in files.txt", "a.b: the file has no archive"}},
      {"changed source byte",
       [&] {
         const std::string path = Path("in2/report.docx");
         Flip(path, 100);
         ASSERT_EQ(
             RunCommand("touch -r " + ShellQuote(Path("in/report.docx")) + " " + ShellQuote(path)),
             0);
       },
       {docx + ": the file report.docx differs from the entry from byte 69900"}},
      {"extra source file",
       [&] { WriteFile(Path("in2/new.txt"), "new"); },
       {"new.txt: the file has no archive"}},
      {"leftover temporary",
       [&] {
         fs::copy_file(Disk("a"), fs::path(Disk("a")).parent_path() /
                                      ".kelvarin-0123456789ab-0001___b.zip.tmp");
       },
       {".kelvarin-0123456789ab-0001___b.zip.tmp: left behind by a run that did not finish"}},
      {"FIFO at an archive's name",
       [&] {
         fs::remove(Disk("report"));
         ASSERT_EQ(mkfifo(Disk("report").c_str(), 0600), 0);
       },
       {docx + ": something other than a regular file stands where the archive should be"}},
      {"link at an archive's name",
       [&] {
         const std::string path = Disk("report");
         fs::rename(path, path + ".kept");
         fs::create_symlink(path + ".kept", path);
       },
       {docx + ": a symbolic link stands where the archive should be (not followed)"}},
  };
  const std::vector<Fault> more = {
      {"line listed twice",
       [&] { edit_index([&](std::string& s) { s += b + "\ta\r\n"; }); },
       {"files.txt line 5: " + b + " is listed already on line "}},
      {"empty line",
       [&] { edit_index([](std::string& s) { s = "\r\n" + s; }); },
       {"files.txt line 1: empty line"}},
      {"over-long line",
       [&] {
         edit_index(
             [](std::string& s) { s += "0050_TXT.ZIP\t" + std::string(1020, 'x') + "\r\n"; });
       },
       {"files.txt line 5: the line is longer than 1024 bytes"}},
      {"lower-case name in files.txt",
       [&] { edit_index([&](std::string& s) { replace(s, b + "\t", Lower(b) + "\t"); }); },
       {Lower(b) + " is not an archive name", b + ": " + Lower(b) + " is not",
        "a.b: the file has no archive"}},
      {"base name changed in files.txt",
       [&] { edit_index([&](std::string& s) { replace(s, b + "\ta\r", b + "\tz\r"); }); },
       {b + ": the entry a.b does not have the base name of files.txt"}},
      {"archive in other case",
       [&] { fs::rename(Disk("a"), Path("out2/") + b); },
       {b + ": warning: the archive is there as " + b + ", in other case"},
       true},
      {"source file touched",
       [&] {
         fs::last_write_time(Path("in2/a.b"),
                             fs::last_write_time(Path("in2/a.b")) - std::chrono::hours(1));
       },
       {b + ": warning: the entry's time differs from the file a.b's by 3600 seconds"},
       true},
  };
  faults.insert(faults.end(), more.begin(), more.end());
  if (geteuid() != 0) {  // root reads whatever the permissions say
    faults.push_back({"unreadable archive",
                      [&] { chmod(Disk("report").c_str(), 0); },
                      {docx + ": the archive cannot be read (access denied)"}});
  }
  for (const Fault& fault : faults) Run(fault);
}

TEST_F(DeliveryCheckFaults, FoldersThatCannotBeCheckedGetOneMessage) {
  Copy();
  // A run writing into the folder holds its lock: the check does not read it.
  const ProgramRun busy =
      RunBatchProgram("--check " + ShellQuote(Path("out2")),
                      "flock " + ShellQuote(Path("out2")) + " sleep 3 & sleep 1;", kEnglish);
  EXPECT_EQ(busy.status, 1);
  EXPECT_EQ(busy.out, "");
  EXPECT_NE(busy.err.find("In English: Another run is writing into folder"), std::string::npos)
      << busy.err;
  fs::remove(Path("out2/files.txt"));
  const ProgramRun run = RunBatchProgram("--check " + ShellQuote(Path("out2")), "", kEnglish);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "Folder " + Path("out2") + " is not an output folder: it holds no files.txt\n");
  EXPECT_EQ(RunBatchProgram("--check --verify " + ShellQuote(Path("out2"))).status, 2);
}

}  // namespace
}  // namespace kel::test
