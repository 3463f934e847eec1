#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace kel {
namespace {

constexpr auto kUtf8 = CodePage::kUtf8;
constexpr auto kSjis = CodePage::kShiftJis;
constexpr auto npos = std::string_view::npos;

// Switches the whole locale for one test and restores it afterwards.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, old_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

TEST(CodePageTest, Utf8CharacterLengths) {
  const std::string s = "a\u00e9\u65e5\U0001F600";
  for (auto [pos, len] : {std::pair{0, 1}, {1, 2}, {3, 3}, {6, 4}})
    EXPECT_EQ(CharLengthAt(s, pos, kUtf8), static_cast<std::size_t>(len));
  EXPECT_EQ(LastCharStart("", kUtf8), npos);
  // Broken sequences count one byte each.
  for (const char* broken : {"\xE6\x97", "\x80", "\xC0\xAF", "\xE0\x80\x80", "\xED\xA0\x80"})
    EXPECT_EQ(CharLengthAt(broken, 0, kUtf8), 1u) << broken;
  EXPECT_FALSE(IsCharStart(s, 4, kUtf8));
  EXPECT_EQ(LeadingWholeChars("\u30c6\u30ad", 4, kUtf8), "\u30c6");
}

TEST(CodePageTest, ShiftJisTrailBytesAreNoDelimiters) {
  const std::string hyo = "\x95\x5C";  // 表, trail byte "\"
  EXPECT_EQ(CharLengthAt(hyo, 0, kSjis), 2u);
  EXPECT_EQ(CharLengthAt("\x81", 0, kSjis), 1u);      // lead byte without a trail
  EXPECT_EQ(CharLengthAt("\xB1\x5C", 0, kSjis), 1u);  // half-width kana is single
  const std::string path = "a\\" + hyo;
  EXPECT_EQ(LastDelimiter("\\", path, kSjis), 1u);
  EXPECT_EQ(LastDelimiter("\\", path, kUtf8), 3u);
  EXPECT_EQ(LastCharStart(path, kSjis), 2u);
  EXPECT_FALSE(IsCharStart(path, 3, kSjis));
  EXPECT_EQ(LeadingWholeChars("\x83\x65\x83\x4C", 3, kSjis), "\x83\x65");
}

TEST(CodePageTest, LastDelimiterIsTheLastOneAtACharacterStart) {
  // Whatever the shortcut, the answer is that of walking the text character by character.
  auto walked = [](std::string_view delimiters, std::string_view s, CodePage cp) {
    std::size_t last = std::string_view::npos;
    for (std::size_t pos = 0; pos < s.size(); pos += CharLengthAt(s, pos, cp))
      if (CharLengthAt(s, pos, cp) == 1 && delimiters.find(s[pos]) != std::string_view::npos)
        last = pos;
    return last;
  };
  for (const std::string s :
       {"", "/", "a/b/c.txt", "/tmp/\u65e5\u672c/x", "\xE6\x97/", "\xC0/\xAF/", "a\\\x95\x5C",
        "\xF0\x9F\x98\x80.d/e", "no delimiter", "\xFF/\x80"})
    for (const CodePage cp : {kUtf8, kSjis, CodePage::kSingleByte})
      for (const std::string_view delimiters : {"/", "\\:/", "."})
        EXPECT_EQ(LastDelimiter(delimiters, s, cp), walked(delimiters, s, cp)) << s;
}

TEST(CodePageTest, CaseConversionKeepsByteLength) {
  // The trail byte 0x61 of "Ｂ" (0x82 0x61) is no "a" and stays as it is.
  EXPECT_EQ(AnsiUpperCase("ab\x82\x61\x95\x5C", kSjis), "AB\x82\x61\x95\x5C");
  EXPECT_EQ(AnsiLowerCase("AB\x82\x41", kSjis), "ab\x82\x41");
  EXPECT_EQ(AnsiUpperCase("0000docx.zip", kUtf8), "0000DOCX.ZIP");
  EXPECT_EQ(AnsiUpperCase("\xFF"
                          "a",
                          kUtf8),
            "\xFF"
            "A");

  ScopedLocale locale("C.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(AnsiUpperCase("\u00e9t\u00e9", kUtf8), "\u00c9T\u00c9");
  EXPECT_EQ(AnsiLowerCase("\u00c9", kUtf8), "\u00e9");
  // Their other case has another length: dotless i -> I, long s -> S, Kelvin sign -> k.
  EXPECT_EQ(AnsiUpperCase("\u0131\u017f", kUtf8), "\u0131\u017f");
  EXPECT_EQ(AnsiLowerCase("\u212a", kUtf8), "\u212a");
}

TEST(CodePageTest, CompareTextIgnoresCase) {
  EXPECT_EQ(AnsiCompareText("Report", "rEPORT"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  EXPECT_GT(AnsiCompareText("B", "a"), 0);  // a plain byte compare would put "B" first
  EXPECT_LT(AnsiCompareText("a", "ab"), 0);
  EXPECT_EQ(SystemCodePage(), kUtf8);  // the plain C locale counts as UTF-8

  ScopedLocale locale("C.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(AnsiCompareText("\u00e9T\u00c9", "\u00c9t\u00e9"), 0);
  EXPECT_GT(AnsiCompareText("B", "a"), 0);
  EXPECT_EQ(AnsiCompareText("x\xFF", "X\xFF"), 0);  // invalid UTF-8 falls back to bytes
  EXPECT_LT(AnsiCompareText("x\xFE", "X\xFF"), 0);
}

TEST(CodePageTest, SortKeysCompareAsCompareTextDoes) {
  const std::vector<std::string> texts = {"Report",
                                          "rEPORT",
                                          "abc",
                                          "ABD",
                                          "B",
                                          "a",
                                          "ab",
                                          "",
                                          "\u00e9T\u00c9",
                                          "\u00c9t\u00e9",
                                          "x\xFF",
                                          "X\xFF",
                                          "x\xFE",
                                          "0000DOCX.ZIP\treport",
                                          "0001___B.ZIP\ta"};
  auto check_all_pairs = [&texts] {
    for (const std::string& a : texts)
      for (const std::string& b : texts)
        EXPECT_EQ(CompareAnsiTextKeys(AnsiTextKey(a), AnsiTextKey(b)), AnsiCompareText(a, b))
            << a << " / " << b;
  };
  check_all_pairs();
  ScopedLocale locale("C.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  check_all_pairs();
}

TEST(CodePageTest, Cp932Conversion) {
  EXPECT_EQ(Utf8ToCp932("\u8868a"), std::optional<std::string>("\x95\x5C"
                                                               "a"));
  EXPECT_EQ(Cp932ToUtf8("\x95\x5C\x83\x65"), std::optional<std::string>("\u8868\u30c6"));
  EXPECT_EQ(Utf8ToCp932("\U0001F600"), std::nullopt);
  EXPECT_EQ(Cp932ToUtf8("a\x81"), std::nullopt);
  const std::string long_text(5000, 'x');
  EXPECT_EQ(Utf8ToCp932(long_text), long_text);
  EXPECT_TRUE(HasHighBytes("ab\x80"));
  EXPECT_FALSE(HasHighBytes("ab~"));
}

}  // namespace
}  // namespace kel
