#include "platform/directory_lookup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

// A folder with one entry of every kind the lookup must report.
class LookupTest : public testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(dir_ / "a.txt", "12345");
    test::WriteFile(dir_ / "B.TXT", "");
    test::WriteFile(dir_ / ".hidden", "");
    test::WriteFile(dir_ / "readonly.dat", "");
    ASSERT_EQ(chmod((dir_ / "readonly.dat").c_str(), 0444), 0);
    ASSERT_EQ(mkdir((dir_ / "sub").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink("missing", (dir_ / "dangling").c_str()), 0);
    ASSERT_EQ(symlink("a.txt", (dir_ / "link").c_str()), 0);
  }

  // Every entry the lookup of `pattern` reports, by name.
  static std::map<std::string, FindRecord> FindAll(const std::string& pattern) {
    std::map<std::string, FindRecord> found;
    DirectoryLookup lookup;
    FindRecord record;
    for (bool ok = lookup.FindFirst(pattern, record); ok; ok = lookup.FindNext(record)) {
      EXPECT_TRUE(lookup.IsOpen());
      EXPECT_TRUE(found.emplace(record.long_name, record).second) << record.long_name;
    }
    return found;
  }

  test::TempDir dir_;
};

TEST_F(LookupTest, ReportsEveryEntryWithItsAttributes) {
  const auto found = FindAll(dir_ / "*.*");
  const std::map<std::string, uint32_t> expected = {
      {".", 0x10},        {"..", 0x10},           {"a.txt", 0x20}, {"B.TXT", 0x20},
      {".hidden", 0x22},  {"readonly.dat", 0x21}, {"sub", 0x10},   {"fifo", 0x20},
      {"dangling", 0x20}, {"link", 0x20},
  };
  ASSERT_EQ(found.size(), expected.size());
  for (const auto& [name, attributes] : expected) {
    ASSERT_TRUE(found.count(name)) << name;
    EXPECT_EQ(found.at(name).attributes, attributes) << name;
    EXPECT_TRUE(found.at(name).alternate_name.empty());
  }
  EXPECT_EQ(found.at("link").size_low, 5u);  // the link's target
  EXPECT_TRUE(found.at("a.txt").last_write_time.has_value());
  EXPECT_EQ(found.at("a.txt").inode, found.at("link").inode);
  EXPECT_EQ(FindAll(dir_ / "*").size(), expected.size());
}

TEST_F(LookupTest, MasksAndBarePaths) {
  auto found = FindAll(dir_ / "?.TxT");
  EXPECT_EQ(found.size(), 2u);
  EXPECT_TRUE(found.count("a.txt") && found.count("B.TXT"));
  EXPECT_TRUE(FindAll(dir_ / "*.none").empty());

  found = FindAll(dir_ / "sub");  // no mask: the entry itself
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.begin()->second.attributes, 0x10u);
  EXPECT_EQ(FindAll(dir_ / "dangling").size(), 1u);
  EXPECT_TRUE(FindAll(dir_ / "missing").empty());
  EXPECT_TRUE(FindAll(dir_ / "sub/").empty());
  EXPECT_TRUE(FindAll(dir_.path() + "/").empty());
  EXPECT_TRUE(FindAll(dir_ / "missing/*.*").empty());
  EXPECT_TRUE(FindAll("").empty());
}

TEST(MaskTest, WindowsStyleMatching) {
  EXPECT_TRUE(MatchesMask("Makefile", "*.*"));
  EXPECT_TRUE(MatchesMask(".profile", "*"));
  EXPECT_TRUE(MatchesMask("a.B", "*.b"));
  EXPECT_FALSE(MatchesMask("ac", "a?c"));
  EXPECT_FALSE(MatchesMask("a.c.d", "*.c"));
  EXPECT_TRUE(MatchesMask("\u65e5\u672c.txt", "??.txt"));  // "?" is one whole character
}

TEST_F(LookupTest, StatusAndAttributeQueries) {
  int error_number = 0;
  EXPECT_FALSE(QueryFileStatus(dir_ / "missing", &error_number));
  EXPECT_EQ(error_number, 2);
  EXPECT_FALSE(QueryFileStatus(dir_ / "a.txt/x", &error_number));
  EXPECT_EQ(error_number, 3);
  EXPECT_EQ(FileGetAttr(dir_ / "missing"), kInvalidAttributes);
  EXPECT_FALSE(DirectoryExists(dir_ / "a.txt"));
  EXPECT_TRUE(IsRegularFile(dir_ / "link"));
  for (const char* name : {"sub", "fifo", "dangling", "missing"})
    EXPECT_FALSE(IsRegularFile(dir_ / name)) << name;
}

TEST(ExpandFileNameTest, LexicalAndBounded) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string here = std::string(cwd) == "/" ? "" : cwd;
  EXPECT_EQ(ExpandFileName("x/../y"), here + "/y");
  EXPECT_EQ(ExpandFileName("new/"), here + "/new/");
  EXPECT_EQ(ExpandFileName("/a//b/./c/.."), "/a/b");
  EXPECT_EQ(ExpandFileName("/a/b/../../../"), "/");
  EXPECT_EQ(ExpandFileName(""), "");

  const std::string longest = "/" + std::string(kMaxPathLength - 1, 'a');
  EXPECT_EQ(ExpandFileName(longest), longest);
  for (const std::string& bad : {longest + "b", std::string("/a\0b", 4)}) {
    try {
      ExpandFileName(bad);
      ADD_FAILURE() << "accepted a path over the limit or with a zero byte";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode, 3);
    }
  }
}

}  // namespace
}  // namespace kel
