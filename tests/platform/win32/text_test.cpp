// Text on Windows: the ANSI code page as the program's code page, lead bytes as the system knows
// them, exact conversions, and the user's locale for case and comparison.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/code_page.h"
#include "platform/path_syntax.h"
#include "support/win32/files.h"

namespace kel {
namespace {

constexpr auto kAnsi = CodePage::kSystemDoubleByte;

class Win32TextTest : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LANG=ja_JP.UTF-8)";
  }
};

TEST_F(Win32TextTest, TheAnsiCodePageIsTheProgramsUnlessUtf8IsChosen) {
  EXPECT_EQ(SystemCodePage(), kAnsi);
  EXPECT_EQ(PathSyntax::Native().style, PathStyle::kWindows);
  EXPECT_EQ(PathSyntax::Native().code_page, kAnsi);
  {
    const test::ScopedUtf8Text utf8;
    EXPECT_EQ(SystemCodePage(), CodePage::kUtf8);
    EXPECT_EQ(PathSyntax::Native().code_page, CodePage::kUtf8);
  }
  EXPECT_EQ(SystemCodePage(), kAnsi);
}

TEST_F(Win32TextTest, LeadBytesAsTheSystemKnowsThem) {
  const std::string hyo = "\x95\x5C";  // 表, trail byte "\"
  EXPECT_EQ(CharLengthAt(hyo, 0, kAnsi), 2u);
  EXPECT_EQ(CharLengthAt("\xB1\x5C", 0, kAnsi), 1u);  // half-width kana is one byte
  EXPECT_EQ(CharLengthAt("\x81", 0, kAnsi), 1u);      // a lead byte at the end stands alone
  const PathSyntax native = PathSyntax::Native();
  EXPECT_EQ(native.ExtractFileName("C:\\data\\" + hyo), hyo);
  EXPECT_EQ(native.ExtractFilePath("C:\\data\\" + hyo + "\\x"), "C:\\data\\" + hyo + "\\");
  EXPECT_FALSE(native.EndsWithSeparator("C:\\" + hyo));
  EXPECT_EQ(LeadingWholeChars("\x83\x65\x83\x4C\x83\x58", 4, kAnsi), "\x83\x65\x83\x4C");
}

TEST_F(Win32TextTest, ConversionsAreExactOrNothing) {
  EXPECT_EQ(Utf8ToCp932("表a"), std::optional<std::string>("\x95\x5C"
                                                           "a"));
  EXPECT_EQ(Cp932ToUtf8("\x95\x5C\x83\x65"), std::optional<std::string>("表テ"));
  // Best fit would make these "e" and "?"; no exact form is no form.
  EXPECT_EQ(Utf8ToCp932("é"), std::nullopt);
  EXPECT_EQ(Utf8ToCp932("한"), std::nullopt);
  EXPECT_EQ(Utf8ToCp932("\U0001F600"), std::nullopt);
  EXPECT_EQ(Cp932ToUtf8("a\x81"), std::nullopt);
  EXPECT_EQ(test::Ansi(L"\u00e9"), "?");
  EXPECT_EQ(test::Ansi(L"\u8868"), "\x95\x5C");
}

TEST_F(Win32TextTest, CaseAndComparisonFollowTheLocaleAndKeepLengths) {
  // Full-width ａｂ (0x82 0x81, 0x82 0x82) become Ａ Ｂ (0x82 0x60, 0x82 0x61): two bytes each.
  EXPECT_EQ(AnsiUpperCase("x\x82\x81\x82\x82", kAnsi), "X\x82\x60\x82\x61");
  EXPECT_EQ(AnsiLowerCase("0000\x83\x65\x83\x4C.ZIP", kAnsi), "0000\x83\x65\x83\x4C.zip");
  EXPECT_EQ(AnsiUpperCase("\xB1"
                          "a",
                          kAnsi),
            "\xB1"
            "A");
  // Case other than by its own length stays as it was (UTF-8: dotless i -> I, Kelvin sign -> k).
  EXPECT_EQ(AnsiUpperCase("\u0131", CodePage::kUtf8), "\u0131");
  EXPECT_EQ(AnsiLowerCase("\u212a", CodePage::kUtf8), "\u212a");
  EXPECT_EQ(AnsiUpperCase("\u00e9t\u00e9", CodePage::kUtf8), "\u00c9T\u00c9");

  EXPECT_EQ(AnsiCompareText("Report", "rEPORT"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  EXPECT_GT(AnsiCompareText("B", "a"), 0);
  EXPECT_EQ(AnsiCompareText("\x82\x81", "\x82\x60"), 0);  // ａ and Ａ
  const std::vector<std::string> texts = {
      "Report", "rEPORT",   "B",        "a",        "ab",
      "",       "\x82\x81", "\x82\x60", "\x95\x5C", "0000DOCX.ZIP\tx"};
  for (const std::string& a : texts)
    for (const std::string& b : texts)
      EXPECT_EQ(CompareAnsiTextKeys(AnsiTextKey(a), AnsiTextKey(b)), AnsiCompareText(a, b));
}

}  // namespace
}  // namespace kel
