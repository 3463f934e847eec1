#include "zip/zip_builder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <thread>

#include "platform/dos_time.h"
#include "platform/output_folder.h"
#include "support/temp_dir.h"
#include "zip/zip_reading.h"

namespace kel {
namespace {

using test::Le16;
using test::Le32;
using test::ReadFile;

void SetModificationTime(const std::string& path, time_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

uint32_t Crc(const std::string& data) {
  return crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
}

class ZipBuilderTest : public ::testing::Test {
 protected:
  // Writes a source file in the test folder and returns its path.
  std::string Source(const std::string& name, const std::string& content) {
    const std::string path = dir_ / name;
    test::WriteFile(path, content);
    return path;
  }
  std::string Base() const { return dir_.path() + "/"; }

  test::TempDir dir_;
  std::string archive_ = dir_ / "0000_txt.zip";
  TZipBuilder builder_;
};

TEST_F(ZipBuilderTest, EmptyArchiveIsTheBareEndRecord) {
  builder_.OpenArchive(archive_, Base());
  builder_.CloseArchive();
  EXPECT_EQ(ReadFile(archive_), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_TRUE(builder_.ArchiveName().empty());
  std::string out;  // unzip only warns that it is empty; the others must accept it
  EXPECT_EQ(
      test::RunCommand(test::SevenZipCommand() + " t -bso0 " + test::ShellQuote(archive_), &out), 0)
      << out;
  EXPECT_EQ(test::RunCommand("bsdtar -tf " + test::ShellQuote(archive_), &out), 0) << out;
  EXPECT_EQ(test::RunCommand("python3 -c 'import sys,zipfile; "
                             "sys.exit(len(zipfile.ZipFile(sys.argv[1]).namelist()))' " +
                                 test::ShellQuote(archive_),
                             &out),
            0)
      << out;
}

TEST_F(ZipBuilderTest, OneEntryLaidOutExactly) {
  const std::string content = "Kelvarin writes one deflated entry.\n";
  const std::string path = Source("a.txt", content);
  SetModificationTime(path, 1700000000);  // 2023-11-14, any time zone
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(path);
  builder_.CloseArchive();
  const std::string b = ReadFile(archive_);
  const std::string deflated = test::RawDeflate(content, 6, Z_DEFAULT_STRATEGY);
  const uint32_t dos = UnixTimeToLocalDosClamped({1700000000, 0});
  const std::size_t central = 30 + 5 + deflated.size();

  EXPECT_EQ(Le32(b, 0), 0x04034b50u);
  EXPECT_EQ(Le16(b, 4), 20);
  EXPECT_EQ(Le16(b, 6), 2);
  EXPECT_EQ(Le16(b, 8), 8);
  EXPECT_EQ(Le32(b, 10), dos);
  EXPECT_EQ(DecodeDosDateTime(dos).year, 2023);
  EXPECT_EQ(Le32(b, 14), Crc(content));
  EXPECT_EQ(Le32(b, 18), deflated.size());
  EXPECT_EQ(Le32(b, 22), content.size());
  EXPECT_EQ(Le16(b, 26), 5);
  EXPECT_EQ(Le16(b, 28), 0);
  EXPECT_EQ(b.substr(30, 5), "a.txt");
  EXPECT_EQ(b.substr(35, deflated.size()), deflated);

  EXPECT_EQ(Le32(b, central), 0x02014b50u);
  EXPECT_EQ(Le16(b, central + 4), 20);
  EXPECT_EQ(Le16(b, central + 6), 20);
  EXPECT_EQ(Le16(b, central + 8), 2);
  EXPECT_EQ(Le16(b, central + 10), 8);
  EXPECT_EQ(Le32(b, central + 12), dos);
  EXPECT_EQ(Le32(b, central + 16), Crc(content));
  EXPECT_EQ(Le32(b, central + 20), deflated.size());
  EXPECT_EQ(Le32(b, central + 24), content.size());
  EXPECT_EQ(Le16(b, central + 28), 5);
  EXPECT_EQ(b.substr(central + 30, 16), std::string(8, '\0') + "\x20" + std::string(7, '\0'));
  EXPECT_EQ(b.substr(central + 46, 5), "a.txt");

  const std::size_t end = central + 51;
  ASSERT_EQ(b.size(), end + 22);
  EXPECT_EQ(b.substr(end, 8), std::string("PK\x05\x06\0\0\0\0", 8));
  EXPECT_EQ(Le16(b, end + 8), 1);
  EXPECT_EQ(Le16(b, end + 10), 1);
  EXPECT_EQ(Le32(b, end + 12), 51u);
  EXPECT_EQ(Le32(b, end + 16), central);
  EXPECT_EQ(Le16(b, end + 20), 0);
  test::ExpectArchiveHolds(archive_, {{"a.txt", content}});
}

TEST_F(ZipBuilderTest, TwoEntriesInTheOrderAdded) {
  const std::string one = test::MakeBytes(20000, 1, true), two = test::MakeBytes(300, 2, false);
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(Source("z.txt", one));
  builder_.AddFileToArchive(Source("b.bin", two));
  const auto& list = builder_.ArchiveEntries();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].second.HeaderOffset, 30 + 5 + list[0].second.CompressedSize);
  builder_.CloseArchive();
  const auto entries = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "z.txt");
  EXPECT_EQ(entries[1].name, "b.bin");
  EXPECT_EQ(entries[1].offset, 30 + 5 + entries[0].compressed);
  test::ExpectArchiveHolds(archive_, {{"z.txt", one}, {"b.bin", two}});
}

TEST_F(ZipBuilderTest, SizesAroundTheBufferAndALargeFile) {
  for (std::size_t size : {0, 1, 16383, 16384, 16385, 5 << 20}) {
    SCOPED_TRACE(size);
    const std::string content = test::MakeBytes(size, static_cast<unsigned>(size), size % 2);
    builder_.OpenArchive(archive_, Base());
    builder_.AddFileToArchive(Source("s.dat", content));
    builder_.CloseArchive();
    const auto entries = test::ReadArchive(ReadFile(archive_));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].crc, Crc(content));
    EXPECT_EQ(entries[0].uncompressed, size);
    test::ExpectArchiveHolds(archive_, {{"s.dat", content}});
  }
}

TEST_F(ZipBuilderTest, SameFileTwiceGivesTwoEntriesOfOneName) {
  const std::string path = Source("twice.txt", "same bytes");
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(path);
  builder_.AddFileToArchive(path);
  builder_.CloseArchive();
  const auto entries = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, entries[1].name);
  EXPECT_EQ(entries[1].data, "same bytes");
  test::ExpectArchiveIntact(archive_);
}

TEST_F(ZipBuilderTest, WithoutAnOpenArchiveNothingHappens) {
  const std::string path = Source("a.txt", "a");
  builder_.AddFileToArchive(path);
  builder_.CloseArchive();
  EXPECT_FALSE(std::filesystem::exists(archive_));
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(path);
  builder_.CloseArchive();
  const std::string closed = ReadFile(archive_);
  // Closing forgets the archive and its entries but not the base directory.
  EXPECT_EQ(builder_.ArchiveName(), "");
  EXPECT_TRUE(builder_.ArchiveEntries().empty());
  EXPECT_EQ(builder_.ArchiveBaseDir(), Base());
  builder_.AddFileToArchive(path);
  builder_.CloseArchive();
  EXPECT_EQ(ReadFile(archive_), closed);
  test::ExpectArchiveHolds(archive_, {{"a.txt", "a"}});
}

TEST_F(ZipBuilderTest, OpeningAgainDropsTheUnclosedList) {
  builder_.OpenArchive(dir_ / "first.zip", Base());
  builder_.AddFileToArchive(Source("a.txt", "a"));
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(Source("b.txt", "b"));
  builder_.CloseArchive();
  test::ExpectArchiveHolds(archive_, {{"b.txt", "b"}});
}

TEST_F(ZipBuilderTest, NamesRelativeToTheBaseInNativeSyntax) {
  std::filesystem::create_directories(dir_ / "data/sub");
  std::filesystem::create_directories(dir_ / "other");
  builder_.OpenArchive(archive_, dir_ / "data/");
  builder_.AddFileToArchive(Source("data/a.txt", "a"));
  builder_.AddFileToArchive(Source("data/sub/b.txt", "b"));
  builder_.AddFileToArchive(Source("other/c.txt", "c"));
  builder_.AddFileToArchive(Source("12:30 notes.txt", "d"));  // ":" is a name character here
  builder_.CloseArchive();
  test::ExpectArchiveHolds(
      archive_,
      {{"a.txt", "a"}, {"sub/b.txt", "b"}, {"../other/c.txt", "c"}, {"../12:30 notes.txt", "d"}});
  // Only the directory part of the base counts.
  builder_.OpenArchive(archive_, dir_ / "data");
  builder_.AddFileToArchive(dir_ / "data/a.txt");
  builder_.CloseArchive();
  test::ExpectArchiveHolds(archive_, {{"data/a.txt", "a"}});
}

// Makes the test folder the current one for the Windows-syntax names, which are plain file
// names with backslashes and colons on Linux.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& path) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectory() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

TEST_F(ZipBuilderTest, NamesRelativeToTheBaseInWindowsSyntax) {
  CurrentDirectory here(dir_.path());
  TZipBuilder windows(PathSyntax::Windows(CodePage::kUtf8));
  windows.OpenArchive("w.zip", "D:\\data\\");
  for (const char* path : {"D:\\data\\a.txt", "D:\\data\\sub\\b.txt", "d:\\DATA\\Sub\\c.txt",
                           "D:\\other\\c.txt", "E:\\e.txt"}) {
    test::WriteFile(path, path);
    windows.AddFileToArchive(path);
  }
  std::vector<std::string> names;
  for (const auto& [name, header] : windows.ArchiveEntries()) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub\\b.txt", "Sub\\c.txt",
                                             "..\\other\\c.txt", "E:\\e.txt"}));
  windows.CloseArchive();
  test::ExpectArchiveHolds("w.zip", {{"a.txt", "D:\\data\\a.txt"},
                                     {"sub\\b.txt", "D:\\data\\sub\\b.txt"},
                                     {"Sub\\c.txt", "d:\\DATA\\Sub\\c.txt"},
                                     {"..\\other\\c.txt", "D:\\other\\c.txt"},
                                     {"E:\\e.txt", "E:\\e.txt"}});
}

TEST_F(ZipBuilderTest, AttributesTakenAfterTheEntryWasWritten) {
  const std::string plain = Source("plain.txt", "p");
  const std::string read_only = Source("ro.txt", "r");
  const std::string hidden = Source(".x", "h");
  ASSERT_EQ(chmod(read_only.c_str(), 0444), 0);
  builder_.OpenArchive(archive_, Base());
  for (const auto& path : {plain, read_only, hidden}) builder_.AddFileToArchive(path);
  builder_.CloseArchive();
  const auto entries = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].external, 0x20u);
  EXPECT_EQ(entries[1].external, 0x21u);
  EXPECT_EQ(entries[2].external, 0x22u);
  for (const auto& e : entries) EXPECT_EQ(e.made_by, 20) << e.name;
  test::ExpectArchiveHolds(archive_, {{"plain.txt", "p"}, {"ro.txt", "r"}, {".x", "h"}});
}

TEST_F(ZipBuilderTest, Utf8NameCarriesTheUtf8Marks) {
  const std::string name = "\xe5\x86\x99\xe7\x9c\x9f.jpg";  // 写真.jpg
  const std::string path = Source(name, "jpeg");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  TZipBuilder utf8(PathSyntax{PathStyle::kNative, CodePage::kUtf8});
  utf8.OpenArchive(archive_, Base());
  utf8.AddFileToArchive(path);
  utf8.CloseArchive();
  const std::string b = ReadFile(archive_);
  EXPECT_EQ(Le16(b, 6), 0x0802);
  const auto entries = test::ReadArchive(b);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].flags, 0x0802);
  EXPECT_EQ(entries[0].made_by, 0x0314);
  EXPECT_EQ(entries[0].external, (0100640u << 16) | 0x20u);
  test::ExpectArchiveHolds(archive_, {{name, "jpeg"}});

  // Where the code page is not UTF-8 the bytes go out unmarked.
  TZipBuilder shift_jis(PathSyntax{PathStyle::kNative, CodePage::kShiftJis});
  shift_jis.OpenArchive(archive_, Base());
  shift_jis.AddFileToArchive(Source("\x83\x65.txt", "sjis"));  // テ.txt in Shift-JIS
  shift_jis.CloseArchive();
  const auto sjis = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(sjis.size(), 1u);
  EXPECT_EQ(sjis[0].flags, 2);
  EXPECT_EQ(sjis[0].made_by, 20);
  test::ExpectArchiveReadable(archive_, {{"\xe3\x83\x86.txt", "sjis"}}, "cp932");
}

TEST_F(ZipBuilderTest, Cp932EncodingConvertsNamesOrRefusesThem) {
  TZipBuilder cp932(PathSyntax{PathStyle::kNative, CodePage::kUtf8});
  cp932.Encoding = NameEncoding::kCp932;
  const std::string name = "\xe5\x86\x99\xe7\x9c\x9f\xef\xbd\x9e.jpg";  // 写真～.jpg
  cp932.OpenArchive(archive_, Base());
  cp932.AddFileToArchive(Source(name, "jpeg"));
  const std::string smile = Source("\xf0\x9f\x98\x80.txt", "no CP932 form");
  try {
    cp932.AddFileToArchive(smile);
    ADD_FAILURE() << "no exception";
  } catch (const EGZipError& e) {
    EXPECT_EQ(e.Code, 6);
    EXPECT_EQ(e.Message(), "Invalid entry name " + smile);
  }
  cp932.CloseArchive();
  const auto entries = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "\x8e\xca\x90\x5e\x81\x60.jpg");
  EXPECT_EQ(entries[0].flags, 2);
  EXPECT_EQ(entries[0].made_by, 20);
  test::ExpectArchiveReadable(archive_, {{name, "jpeg"}}, "cp932");
}

TEST_F(ZipBuilderTest, TimesOutsideTheMsDosRangeAreClamped) {
  const std::string old_file = Source("old.txt", "1970");
  const std::string future = Source("future.txt", "2200");
  SetModificationTime(old_file, 86400 * 365);
  SetModificationTime(future, 7258118400);  // 2200-01-01
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(old_file);
  builder_.AddFileToArchive(future);
  builder_.CloseArchive();
  const auto entries = test::ReadArchive(ReadFile(archive_));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].time, kDosTimeMin);
  EXPECT_EQ(entries[1].time, kDosTimeMax);
  test::ExpectArchiveHolds(archive_, {{"old.txt", "1970"}, {"future.txt", "2200"}});
}

TEST_F(ZipBuilderTest, LevelAndStrategyReachTheDeflateData) {
  const std::string content = test::MakeBytes(50000, 9, true);
  struct Case {
    int32_t level;
    uint8_t strategy;
    int expected_level, expected_strategy;
  } cases[] = {{6, 0, 6, Z_DEFAULT_STRATEGY},  {1, 0, 1, Z_DEFAULT_STRATEGY},
               {9, 1, 9, Z_FILTERED},          {6, 2, 6, Z_HUFFMAN_ONLY},
               {12, 0, 1, Z_DEFAULT_STRATEGY}, {-1, 0, -1, Z_DEFAULT_STRATEGY}};
  const std::string path = Source("l.txt", content);
  for (const Case& c : cases) {
    builder_.CompressionLevel = c.level;
    builder_.CompressionStrategy = c.strategy;
    builder_.OpenArchive(archive_, Base());
    builder_.AddFileToArchive(path);
    builder_.CloseArchive();
    const std::string b = ReadFile(archive_);
    const std::string expected = test::RawDeflate(content, c.expected_level, c.expected_strategy);
    EXPECT_EQ(b.substr(35, expected.size()), expected) << c.level << "/" << int{c.strategy};
    EXPECT_EQ(Le32(b, 18), expected.size());
    test::ExpectArchiveHolds(archive_, {{"l.txt", content}});
  }
}

TEST_F(ZipBuilderTest, ModuleLevelOperationsUseTheDefaultBuilder) {
  EXPECT_EQ(CompressionLevel, 6);
  EXPECT_EQ(CompressionStrategy, 0);
  EXPECT_EQ(&CompressionLevel, &DefaultZipBuilder().CompressionLevel);
  OpenArchive(archive_, Base());
  EXPECT_EQ(DefaultZipBuilder().ArchiveName(), archive_);
  AddFileToArchive(Source("m.txt", "module"));
  CloseArchive();
  EXPECT_TRUE(DefaultZipBuilder().ArchiveName().empty());
  test::ExpectArchiveHolds(archive_, {{"m.txt", "module"}});
}

TEST_F(ZipBuilderTest, ProgressCountsEveryByteCopied) {
  const std::string content = test::MakeBytes(100000, 3, true);
  uint64_t total = 0;
  int calls = 0;
  builder_.OnProgress = [&](uint64_t bytes) { total += bytes, ++calls; };
  builder_.OpenArchive(archive_, Base());
  builder_.AddFileToArchive(Source("p.txt", content));
  builder_.CloseArchive();
  EXPECT_EQ(total, content.size());
  EXPECT_EQ(calls, 7);  // six full blocks and the rest
  test::ExpectArchiveHolds(archive_, {{"p.txt", content}});
}

TEST_F(ZipBuilderTest, BuildersOnSeveralThreadsAtOnce) {
  std::vector<std::string> contents;
  for (unsigned i = 0; i < 4; ++i) contents.push_back(test::MakeBytes(300000, i, i % 2));
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < 4; ++i) {
    const std::string source = Source("t" + std::to_string(i), contents[i]);
    threads.emplace_back([this, i, source] {
      TZipBuilder builder;
      builder.OpenArchive(dir_ / ("t" + std::to_string(i) + ".zip"), Base());
      builder.AddFileToArchive(source);
      builder.CloseArchive();
    });
  }
  for (auto& t : threads) t.join();
  for (unsigned i = 0; i < 4; ++i) {
    test::ExpectArchiveHolds(dir_ / ("t" + std::to_string(i) + ".zip"),
                             {{"t" + std::to_string(i), contents[i]}});
  }
}

TEST_F(ZipBuilderTest, NameLongerThanSixteenBitsIsRefused) {
  // The base is only text: a deep folder that need not exist makes the name all "../" steps.
  std::string base = "/";
  for (int i = 0; i < 22000; ++i) base += "d/";
  const std::string path = Source("long.txt", "x");
  int error_number = 0;
  OutputFolder folder = OutputFolder::TryOpen(dir_.path(), error_number);
  folder.UseNamedTemporaries();  // for a path to look at the output by
  builder_.SetOutputFolder(&folder);
  builder_.OpenArchive(archive_, base);
  try {
    builder_.AddFileToArchive(path);
    ADD_FAILURE() << "no exception";
  } catch (const EGZipError& e) {
    EXPECT_EQ(e.Code, 6);
    EXPECT_EQ(e.Message(), "Invalid entry name " + path);
  }
  EXPECT_EQ(std::filesystem::file_size(builder_.TemporaryPath()), 0u);
}

}  // namespace
}  // namespace kel
