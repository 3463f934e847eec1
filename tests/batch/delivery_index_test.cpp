// The rules of a delivery's names: the archive-name pattern, 8.3 and ISO 9660 level 1, and the
// parsing of files.txt with the line each fault is on.
#include "batch/delivery_index.h"

#include <gtest/gtest.h>

namespace kel::test {
namespace {

TEST(DeliveryIndex, ArchiveNamesAndShortNames) {
  for (const char* name : {"0000docx.zip", "0012___B.ZIP", "9999_テ.zip", "0001a_b_.zip"})
    EXPECT_TRUE(IsArchiveName(name)) << name;
  for (const char* name : {"000docx.zip", "0000docx.zi", "x000docx.zip", "0000do.x.zip",
                           "0000do/x.zip", "0000d\tcx.zip", "0000docx.zip.tmp", "0000docx.Zip"})
    EXPECT_FALSE(IsArchiveName(name)) << name;
  struct Row {
    const char* name;
    const char* kinds;  // "" fine, "8" not 8.3, "I" outside ISO 9660 level 1
  };
  for (const Row& row : {Row{"FILES.TXT", ""}, Row{"files.txt", ""}, Row{"0000__MD.ZIP", ""},
                         Row{"README", ""}, Row{"0001_テ.ZIP", "I"}, Row{"0002__C+.ZIP", "I"},
                         Row{"123456789.ZIP", "8"}, Row{"A.ZIPX", "8"}, Row{"A.B.C", "8"},
                         Row{".PROFILE", "8"}, Row{"", "8"}}) {
    std::string kinds;
    for (const Problem& p : ShortNameProblems("s", row.name))
      kinds += p.kind == CheckProblem::kNotShortName ? "8" : "I";
    EXPECT_EQ(kinds, row.kinds) << row.name;
  }
}

TEST(DeliveryIndex, EachFaultWithItsLine) {
  const auto same = [](const std::string& bytes) { return bytes; };
  const ParsedIndex good = ParseIndex("0000DOCX.ZIP\treport\r\n0001___B.ZIP\ta\tb\r\n", same);
  ASSERT_EQ(good.entries.size(), 2u);
  EXPECT_TRUE(good.problems.empty());
  EXPECT_EQ(good.entries[1].line, 2);
  EXPECT_EQ(good.entries[1].listing, "0001___B.ZIP");
  EXPECT_EQ(good.entries[1].base, "a\tb");  // the first TAB ends the archive name
  const ParsedIndex bad = ParseIndex(
      "0000DOCX.ZIP\treport\n\r\n0000DOCX.ZIP\tagain\r\nno tab\r\n0000docx.zip\tx\r\nlast", same);
  std::vector<std::pair<CheckProblem, int>> found;
  for (const Problem& p : bad.problems) found.emplace_back(p.kind, p.line);
  using K = CheckProblem;
  EXPECT_EQ(found, (std::vector<std::pair<K, int>>{{K::kIndexLfLineEnd, 1},
                                                   {K::kIndexEmptyLine, 2},
                                                   {K::kIndexDuplicate, 3},
                                                   {K::kIndexNoTab, 4},
                                                   {K::kIndexBadArchiveName, 5},
                                                   {K::kIndexNoLineEnd, 6},
                                                   {K::kIndexNoTab, 6}}));
  EXPECT_EQ(bad.problems[2].number, 1u);
  EXPECT_EQ(bad.entries.size(), 1u);
}

}  // namespace
}  // namespace kel::test
