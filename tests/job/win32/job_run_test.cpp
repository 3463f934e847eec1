// The batch job end to end on Windows: names in the ANSI code page 932 as Japanese Windows
// writes them (archive names, entry names, "files.txt"), UTF-8 when chosen, and a name without
// an exact form refused before anything is written.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <map>

#include "job/job_errors.h"
#include "job/job_harness.h"
#include "support/temp_dir.h"
#include "support/win32/files.h"
#include "support/zip_readers.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

uint16_t Get16(const std::string& s, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) |
                               static_cast<unsigned char>(s[at + 1]) << 8);
}
uint32_t Get32(const std::string& s, std::size_t at) {
  return Get16(s, at) | static_cast<uint32_t>(Get16(s, at + 2)) << 16;
}

// The one central record of a single-entry archive, as the readers see it.
struct CentralRecord {
  uint16_t made_by = 0;
  uint16_t flags = 0;
  uint32_t external = 0;
  std::string name;
};

CentralRecord ReadCentral(const std::string& zip) {
  CentralRecord r;
  if (zip.size() < 22 + 46) {
    ADD_FAILURE() << "archive too short";
    return r;
  }
  const std::size_t end = zip.size() - 22;
  EXPECT_EQ(Get32(zip, end), 0x06054b50u);
  const std::size_t at = Get32(zip, end + 16);
  EXPECT_EQ(Get32(zip, at), 0x02014b50u);
  r.made_by = Get16(zip, at + 4);
  r.flags = Get16(zip, at + 8);
  r.external = Get32(zip, at + 38);
  r.name = zip.substr(at + 46, Get16(zip, at + 28));
  // The local header carries the same name and flags.
  EXPECT_EQ(Get16(zip, 6), r.flags);
  EXPECT_EQ(zip.substr(30, Get16(zip, 26)), r.name);
  return r;
}

// Lines of "files.txt" by their base name (both in the bytes written).
std::map<std::string, std::string> IndexByBase(const std::string& index) {
  std::map<std::string, std::string> lines;
  for (std::size_t at = 0; at < index.size();) {
    const std::size_t end = index.find("\r\n", at);
    if (end == std::string::npos) break;
    const std::string line = index.substr(at, end - at);
    lines[line.substr(13)] = line.substr(0, 12);
    at = end + 2;
  }
  return lines;
}

class Win32JobRun : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
    CreateDirectoryW(Wide(dir_ / "in").c_str(), nullptr);
    CreateDirectoryW(Wide(dir_ / "out").c_str(), nullptr);
  }
  std::wstring In(const std::string& utf8) { return Wide(dir_ / "in\\" + utf8); }
  std::wstring Out(const std::wstring& name) { return Wide(dir_ / "out\\") + name; }
  bool OutputEmpty() { return fs::is_empty(fs::path(Wide(dir_ / "out"))); }

  TempDir dir_;
};

TEST_F(Win32JobRun, JapaneseNamesInCodePage932AsWindowsWritesThem) {
  const std::string text_body = MakeBytes(30000, 3, true);
  WriteWide(In("日本語.テキスト"), text_body);
  WriteWide(In("写真.jpg"), MakeBytes(5000, 4, false));
  WriteWide(In("report.docx"), "report");
  SetFileAttributesW(In("report.docx").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  JobHarness h;
  h.Start(dir_ / "in\\", dir_ / "out\\");
  h.RunTimer();
  SetFileAttributesW(In("report.docx").c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_FALSE(h.panel.texts.empty());
  EXPECT_EQ(h.panel.texts.back(), ProgramText("圧縮が完了しました．"));

  const auto index = IndexByBase(ReadWide(Out(L"files.txt")));
  ASSERT_EQ(index.size(), 3u);
  // "テキ" is four bytes of Shift-JIS: the extension field holds two whole characters.
  const std::string nihongo = Ansi(L"日本語");
  ASSERT_TRUE(index.count(nihongo));
  EXPECT_EQ(index.at(nihongo).substr(4), "\x83\x65\x83\x4C.ZIP");
  EXPECT_EQ(index.at(Ansi(L"写真")).substr(4), "_JPG.ZIP");
  EXPECT_EQ(index.at("report").substr(4), "DOCX.ZIP");

  const struct {
    std::wstring name;
    std::string base;
    uint32_t external;
  } files[] = {{L"日本語.テキスト", nihongo, 0x20},
               {L"写真.jpg", Ansi(L"写真"), 0x20},
               {L"report.docx", "report", 0x21}};
  for (const auto& file : files) {
    SCOPED_TRACE(Ansi(file.name));
    // The disk form of the archive name, lower case, in the ANSI code page.
    const std::wstring archive =
        Out(*win32::WideFromBytes(index.at(file.base).substr(0, 4), CP_ACP) +
            *win32::WideFromBytes(AnsiLowerCase(index.at(file.base).substr(4), SystemCodePage()),
                                  CP_ACP));
    ASSERT_TRUE(Exists(archive));
    const std::string zip = ReadWide(archive);
    const CentralRecord central = ReadCentral(zip);
    EXPECT_EQ(central.name, Ansi(file.name));  // CP932 bytes, no UTF-8 mark
    EXPECT_EQ(central.flags, 2u);
    EXPECT_EQ(central.made_by, 20u);  // MS-DOS host, version 2.0
    EXPECT_EQ(central.external, file.external);
    std::string utf8_name = *win32::BytesFromWide(file.name, CP_UTF8);
    ExpectArchiveReadable(Ansi(archive), {{utf8_name, ReadWide(In(utf8_name))}}, "cp932");
  }
}

TEST_F(Win32JobRun, ANameWithoutAnAnsiFormStopsTheRunBeforeAnythingIsWritten) {
  for (const char* name : {"한국.txt", "café.txt"}) {
    SCOPED_TRACE(name);
    WriteWide(In("plain.txt"), "plain");
    WriteWide(In(name), "other");
    JobHarness h;
    try {
      h.Start(dir_ / "in\\", dir_ / "out\\");
      h.RunTimer();
      ADD_FAILURE() << "the run went on";
    } catch (const ENameNotInCodePage& e) {
      const std::string described =
          std::string(name) == "café.txt" ? "caf<U+00E9>.txt" : "<U+D55C><U+AD6D>.txt";
      EXPECT_NE(e.Message().find(dir_ / "in\\" + described), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(OutputEmpty());
    DeleteFileW(In(name).c_str());
  }
}

// A UTF-8 name goes in as on Linux, marked as from a Unix host with a mode made from the
// attributes: Debian's unzip translates the names of MS-DOS entries from an OEM code page even
// when bit 11 says UTF-8.
TEST_F(Win32JobRun, Utf8NamesWhenChosenAsOnLinux) {
  const ScopedUtf8Text utf8;
  WriteWide(In("한국.txt"), "korean");
  WriteWide(In("notes.txt"), "notes");
  JobHarness h;
  h.Start(dir_ / "in\\", dir_ / "out\\");
  h.RunTimer();
  const auto index = IndexByBase(ReadWide(Out(L"files.txt")));
  ASSERT_EQ(index.size(), 2u);
  ASSERT_TRUE(index.count("한국"));
  for (const auto& [base, listing] : index) {
    SCOPED_TRACE(base);
    std::string disk = listing;
    for (char& c : disk) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string archive = dir_ / "out\\" + disk;
    const std::string zip = ReadWide(Wide(archive));
    const CentralRecord central = ReadCentral(zip);
    const bool korean = base == "한국";
    EXPECT_EQ(central.name, base + ".txt");
    EXPECT_EQ(central.flags, korean ? 0x0802u : 0x0002u);  // bit 11 for the UTF-8 name
    EXPECT_EQ(central.made_by, korean ? 0x0314u : 20u);
    EXPECT_EQ(central.external, korean ? 0100644u << 16 | 0x20u : 0x20u);
    ExpectArchiveReadable(archive, {{base + ".txt", korean ? "korean" : "notes"}});
  }
}

}  // namespace
}  // namespace kel::test
