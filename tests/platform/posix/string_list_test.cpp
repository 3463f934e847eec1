#include "platform/string_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/exceptions.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

TEST(StringListTest, SortIgnoresCaseAndKeepsEqualOnesInOrder) {
  TStringList list;
  for (const char* s : {"b", "A", "0001X", "a", "C", "0000Y"}) list.Add(s);
  list.Sort();
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"0000Y", "0001X", "A", "a", "b", "C"}));
}

TEST(StringListTest, SavesExactBytes) {
  test::TempDir dir;
  const std::string path = dir / "files.txt";
  test::WriteFile(path, std::string(100, 'z'));  // replaced, not overwritten in place
  TStringList list;
  list.Add("0000DOCX.ZIP\treport");
  list.Add("0007PROF.ZIP\t");
  list.Add("\xe6\x97\xa5");
  list.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "0000DOCX.ZIP\treport\r\n0007PROF.ZIP\t\r\n\xe6\x97\xa5\r\n");

  list.Clear();
  list.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "");
}

TEST(StringListTest, SaveFailuresRaiseStreamErrors) {
  TStringList list;
  list.Add("line");
  test::TempDir dir;
  const std::string path = dir / "missing/files.txt";
  try {
    list.SaveToFile(path);
    FAIL() << "no error for a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "ファイル " + path + " を作成できません");
  }
}

TEST(StringListTest, SaveReplacesALinkStandingAtThePathAndNeverWritesThroughIt) {
  TStringList list;
  list.Add("line");
  test::TempDir dir;
  test::WriteFile(dir / "victim.txt", "precious");
  std::filesystem::create_symlink(dir / "victim.txt", dir / "files.txt");
  std::filesystem::create_hard_link(dir / "victim.txt", dir / "hard.txt");
  list.SaveToFile(dir / "files.txt");
  list.SaveToFile(dir / "hard.txt");
  EXPECT_EQ(test::ReadFile(dir / "victim.txt"), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "files.txt"));
  EXPECT_EQ(test::ReadFile(dir / "files.txt"), "line\r\n");
  EXPECT_EQ(test::ReadFile(dir / "hard.txt"), "line\r\n");
  // Only the outputs remain: no temporary is left beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

}  // namespace
}  // namespace kel
