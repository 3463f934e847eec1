// kelvarin-batch.exe as a program under Windows: arguments in UTF-16, output in the ANSI code
// page with CR LF line ends, exit statuses, and the same archives with any number of jobs.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "batch/batch_options.h"
#include "support/temp_dir.h"
#include "support/win32/files.h"
#include "support/win32/program.h"
#include "support/zip_readers.h"

#ifndef KELVARIN_BATCH_PROGRAM
#error "KELVARIN_BATCH_PROGRAM must name the kelvarin-batch program"
#endif

namespace kel::test {
namespace {

namespace fs = std::filesystem;

ProgramRun Batch(const std::vector<std::wstring>& args) {
  return RunProgram(Wide(KELVARIN_BATCH_PROGRAM), args);
}

std::map<std::wstring, std::string> Folder(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  for (const auto& entry : fs::directory_iterator(fs::path(folder)))
    files[entry.path().filename().wstring()] = ReadWide(entry.path().wstring());
  return files;
}

// Writes `bytes` to `path` by its "\\?\" form, so that a name Windows would otherwise strip or map
// (a trailing dot or space, a device name) is made as it stands.
void WriteVerbatim(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(win32::ExtendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot make " << Ansi(path);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size()) << Ansi(path);
}

// The name of the one entry of an archive the program wrote: its first local header's.
std::string EntryName(const std::string& archive) {
  if (archive.size() < 30) return {};
  const std::size_t length = static_cast<unsigned char>(archive[26]) |
                             static_cast<std::size_t>(static_cast<unsigned char>(archive[27])) << 8;
  return archive.substr(30, length);
}

class Win32BatchProgram : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
    for (const char* folder : {"in", "one", "two"})
      CreateDirectoryW(Wide(dir_ / folder).c_str(), nullptr);
  }
  std::wstring Path(const std::string& utf8) { return Wide(dir_ / utf8); }
  TempDir dir_;
};

TEST_F(Win32BatchProgram, RunsWithOneAndTwoJobsToTheSameBytes) {
  WriteWide(Path("in\\report.docx"), MakeBytes(70000, 7, true));
  WriteWide(Path("in\\写真.jpg"), MakeBytes(20000, 8, false));
  WriteWide(Path("in\\a.b"), "ab");
  const ProgramRun one = Batch({Path("in"), Path("one"), L"--jobs", L"1", L"--verify"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, "(0/2)\r\n(1/2)\r\n(2/2)\r\n" + ProgramText("圧縮が完了しました．") + "\r\n");
  EXPECT_EQ(one.err, "");
  const ProgramRun two = Batch({Path("in\\"), Path("two\\"), L"-j2"});
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(two.out, one.out);
  const auto first = Folder(Path("one"));
  EXPECT_EQ(first, Folder(Path("two")));
  ASSERT_EQ(first.size(), 4u);
  for (const auto& [name, bytes] : first) {
    if (name == L"files.txt") continue;
    const std::string archive = Ansi(Path("one\\") + name);
    const std::string source = name.ends_with(L"jpg.zip")    ? "写真.jpg"
                               : name.ends_with(L"docx.zip") ? "report.docx"
                                                             : "a.b";
    ExpectArchiveReadable(archive, {{source, ReadWide(Path("in\\" + source))}}, "cp932");
  }
}

TEST_F(Win32BatchProgram, EncodingsAndNamesWithoutAnAnsiForm) {
  WriteWide(Path("in\\한국.txt"), "korean");
  // The system's code page (932) has no Korean: nothing is written, the file is named.
  const ProgramRun refused = Batch({Path("in"), Path("one")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("<U+D55C><U+AD6D>.txt"), std::string::npos) << refused.err;
  EXPECT_TRUE(fs::is_empty(fs::path(Path("one"))));
  // UTF-8 holds it.
  const ProgramRun utf8 = Batch({Path("in"), Path("one"), L"--encoding", L"utf-8"});
  EXPECT_EQ(utf8.status, 0) << utf8.err;
  EXPECT_EQ(ReadWide(Path("one\\files.txt")), "0000_TXT.ZIP\t한국\r\n");
  ExpectArchiveReadable(dir_ / "one\\0000_txt.zip", {{"한국.txt", "korean"}}, "utf-8");
  // A folder argument without an exact form is refused as well.
  CreateDirectoryW(Path("폴더").c_str(), nullptr);
  const ProgramRun folder = Batch({Path("폴더"), Path("two")});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("<U+D3F4><U+B354>"), std::string::npos) << folder.err;
}

// A name decomposed as macOS writes it has no form in the ANSI code page, by which the run would
// have to open it; with --encoding cp932 names are UTF-8 inside the run and it is composed.
TEST_F(Win32BatchProgram, DecomposedNameIsComposedUnderCp932) {
  WriteWide(Path("in\\\u304b\u3099.txt"), "kana");
  const ProgramRun refused = Batch({Path("in"), Path("one")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("<U+3099>.txt"), std::string::npos) << refused.err;
  EXPECT_TRUE(fs::is_empty(fs::path(Path("one"))));
  const ProgramRun cp932 = Batch({Path("in"), Path("one"), L"--encoding", L"cp932", L"--verify"});
  EXPECT_EQ(cp932.status, 0) << cp932.err;
  EXPECT_EQ(ReadWide(Path("one\\files.txt")), "0000_TXT.ZIP\t\x82\xaa\r\n");
  ExpectArchiveReadable(dir_ / "one\\0000_txt.zip", {{"\u304c.txt", "kana"}}, "cp932");
}

// Names that Windows' plain paths strip or take for devices are files of their own: each goes
// into its own archive with its own bytes, none is skipped, and the run is a success.
TEST_F(Win32BatchProgram, NamesWindowsWouldStripOrMapAreArchivedAsTheFilesTheyAre) {
  const std::vector<std::string> names = {"a.txt", "a.txt.",  "b",    "b ",      "CON.txt",
                                          "nul",   "aux.log", "COM1", "LPT1.dat", "ordinary.doc"};
  std::map<std::string, std::string> bytes;
  for (std::size_t i = 0; i < names.size(); ++i) {
    bytes[names[i]] = names[i] + ":" + MakeBytes(3000 + 97 * i, static_cast<int>(i), true);
    WriteVerbatim(Path("in\\" + names[i]), bytes[names[i]]);
  }
  const ProgramRun run = Batch({Path("in"), Path("one"), L"--verify"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.out.ends_with(ProgramText("圧縮が完了しました．") + "\r\n")) << run.out;
  std::map<std::string, int> archived;
  for (const auto& [archive, content] : Folder(Path("one"))) {
    if (archive == L"files.txt") continue;
    const std::string entry = EntryName(content);
    ++archived[entry];
    if (bytes.count(entry) == 0) {
      ADD_FAILURE() << "an archive of no source file: " << Ansi(archive) << " holds " << entry;
      continue;
    }
    ExpectArchiveReadable(Ansi(Path("one\\") + archive), {{entry, bytes[entry]}}, "cp932");
  }
  for (const std::string& name : names) EXPECT_EQ(archived[name], 1) << "[" << name << "]";
  const std::string index = ReadWide(Path("one\\files.txt"));
  EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), static_cast<long>(names.size())) << index;
  // The temporary folder's clean-up takes plain paths, which miss these names.
  for (const std::string& name : names)
    DeleteFileW(win32::ExtendedPath(Path("in\\" + name)).c_str());
}

// A source another program holds without sharing it fails by its name, with the system's
// message kept and a reason the user can act on; the run leaves nothing at its archive.
TEST_F(Win32BatchProgram, FileHeldByAnotherProgramIsNamedWithItsReason) {
  WriteWide(Path("in\\held.txt"), "held");
  const HANDLE held = CreateFileW(Path("in\\held.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const ProgramRun run = Batch({Path("in"), Path("one")});
  CloseHandle(held);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(Ansi(Path("in\\held.txt"))), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(ProgramText("別のプログラムがこのファイルを使用中です")), std::string::npos)
      << run.err;
  EXPECT_FALSE(Exists(Path("one\\0000_txt.zip")));
}

TEST_F(Win32BatchProgram, UsageErrorsAndMissingFolders) {
  const ProgramRun usage = Batch({L"--encoding", L"shift_jis", Path("in"), Path("one")});
  EXPECT_EQ(usage.status, 2);
  // In the interface's language (Japanese here), as the library linked into this test has it.
  // (Standard error is in text mode: its line ends are CR LF.)
  const std::string usage_line = BatchUsage().substr(0, BatchUsage().find('\n'));
  EXPECT_NE(usage.err.find(usage_line + "\r\n"), std::string::npos) << usage.err;
  const ProgramRun version = Batch({L"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kelvarin-batch 1.0.0\r\n");
  const ProgramRun missing = Batch({Path("missing"), Path("one")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(ProgramText("見つかりません")), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace kel::test
