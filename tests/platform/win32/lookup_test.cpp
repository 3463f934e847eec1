// Directory lookup on Windows: attributes as the system reports them, the system's masks, and
// names in the ANSI code page, exactly or not at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "platform/directory_lookup.h"
#include "platform/file_info.h"
#include "support/temp_dir.h"
#include "support/win32/files.h"

namespace kel {
namespace {

using test::Wide;

class Win32LookupTest : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
    Make("a.txt", "12345", 0);
    Make("B.TXT", "", 0);
    Make("readonly.dat", "", FILE_ATTRIBUTE_READONLY);
    Make("hidden.dat", "", FILE_ATTRIBUTE_HIDDEN);
    Make("system.dat", "", FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW(Wide(dir_ / "sub").c_str(), nullptr);
  }
  void TearDown() override {
    for (const char* name : {"readonly.dat", "hidden.dat", "system.dat"})
      SetFileAttributesW(Wide(dir_ / name).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  void Make(const std::string& utf8_name, const std::string& bytes, DWORD attributes) {
    const std::wstring path = Wide(dir_.path() + "\\" + utf8_name);
    test::WriteWide(path, bytes);
    if (attributes != 0) SetFileAttributesW(path.c_str(), attributes);
  }
  static std::map<std::string, FindRecord> FindAll(const std::string& pattern) {
    std::map<std::string, FindRecord> found;
    DirectoryLookup lookup;
    FindRecord record;
    for (bool ok = lookup.FindFirst(pattern, record); ok; ok = lookup.FindNext(record))
      EXPECT_TRUE(found.emplace(record.long_name, record).second) << record.long_name;
    return found;
  }

  test::TempDir dir_;
};

TEST_F(Win32LookupTest, AttributesAsWindowsReportsThem) {
  const auto found = FindAll(dir_ / "*.*");
  const std::map<std::string, uint32_t> expected = {
      {".", 0x10},          {"..", 0x10},           {"a.txt", 0x20},
      {"B.TXT", 0x20},      {"readonly.dat", 0x21}, {"hidden.dat", 0x22},
      {"system.dat", 0x24}, {"sub", 0x10},
  };
  ASSERT_EQ(found.size(), expected.size());
  for (const auto& [name, attributes] : expected) {
    ASSERT_TRUE(found.count(name)) << name;
    EXPECT_EQ(found.at(name).attributes, attributes) << name;
    EXPECT_TRUE(found.at(name).exact_name);
  }
  EXPECT_EQ(found.at("a.txt").size_low, 5u);
  EXPECT_TRUE(found.at("a.txt").last_write_time.has_value());
  EXPECT_NE(found.at("sub").inode, 0u);
  EXPECT_EQ(FileGetAttr(dir_ / "readonly.dat"), 0x21u);
  EXPECT_EQ(FileGetAttr(dir_ / "hidden.dat"), 0x22u);
  EXPECT_EQ(FileGetAttr(dir_ / "system.dat"), 0x24u);
}

TEST_F(Win32LookupTest, MasksAndBarePaths) {
  auto found = FindAll(dir_ / "?.TxT");
  EXPECT_EQ(found.size(), 2u);
  EXPECT_TRUE(found.count("a.txt") && found.count("B.TXT"));
  EXPECT_TRUE(FindAll(dir_ / "*.none").empty());
  found = FindAll(dir_ / "sub");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.begin()->second.attributes, 0x10u);
  EXPECT_TRUE(FindAll(dir_ / "missing").empty());
  EXPECT_TRUE(FindAll(dir_ / "sub\\").empty());
  EXPECT_TRUE(FindAll(dir_ / "missing\\*.*").empty());
  EXPECT_TRUE(FindAll("").empty());
}

TEST_F(Win32LookupTest, NamesComeInTheAnsiCodePageOrAreMarkedInexact) {
  Make("表計算.txt", "sjis", 0);  // 表 ends in the byte 0x5C, "\"
  Make("한국.txt", "korean", 0);  // no form in code page 932
  Make("café.txt", "latin", 0);   // 932 would turn é into e without WC_NO_BEST_FIT_CHARS
  Make("😀.txt", "emoji", 0);      // a surrogate pair
  const auto found = FindAll(dir_ / "*.txt");
  const std::string sjis = "\x95\x5C\x8C\x76\x8E\x5A.txt";
  ASSERT_TRUE(found.count(sjis));
  EXPECT_TRUE(found.at(sjis).exact_name);
  EXPECT_EQ(found.at(sjis).size_low, 4u);
  for (const char* described : {"<U+D55C><U+AD6D>.txt", "caf<U+00E9>.txt", "<U+1F600>.txt"}) {
    ASSERT_TRUE(found.count(described)) << described;
    EXPECT_FALSE(found.at(described).exact_name) << described;
  }
  EXPECT_FALSE(found.count("cafe.txt"));
  // A name with the escapes opens nothing: "<" and ">" are in no Windows name.
  EXPECT_FALSE(QueryFileStatus(dir_ / "caf<U+00E9>.txt"));
  // The CP932 name opens the file it names.
  EXPECT_TRUE(IsRegularFile(dir_.path() + "\\" + sjis));

  // With UTF-8 as the program's code page every name has its exact form.
  const test::ScopedUtf8Text utf8;
  const auto all = FindAll(dir_ / "*.txt");
  for (const char* name : {"表計算.txt", "한국.txt", "café.txt", "😀.txt"}) {
    ASSERT_TRUE(all.count(name)) << name;
    EXPECT_TRUE(all.at(name).exact_name) << name;
    EXPECT_TRUE(IsRegularFile(dir_.path() + "\\" + name)) << name;
  }
}

}  // namespace
}  // namespace kel
