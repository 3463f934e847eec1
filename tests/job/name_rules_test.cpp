// Which names a run refuses, and the CP932 form a name takes, over names from every system the
// program meets: one row per case, on Linux and under Wine alike.
#include "job/name_rules.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "job/job_errors.h"
#include "platform/code_page.h"
#include "support/program_text.h"

namespace kel::test {
namespace {

const PathSyntax kLinux{PathStyle::kNative, CodePage::kUtf8};
const PathSyntax kWindows = PathSyntax::Windows(CodePage::kShiftJis);
const PathSyntax kWindowsUtf8 = PathSyntax::Windows(CodePage::kUtf8);

constexpr const char* kAllowed = "";
constexpr const char* kNoForm = "-";  // no CP932 form
constexpr const char* kUnused = nullptr;

struct Row {
  const char* what;
  std::string name;
  PathSyntax syntax;
  std::string refused;  // the refused character, or kAllowed
  const char* cp932;    // Utf8NameToCp932 of a UTF-8 name, kNoForm, or kUnused
};

TEST(NameRules, RefusedCharactersAndCp932Forms) {
  std::vector<Row> rows = {
      {"tab", "a\tb.txt", kLinux, "\t", kUnused},
      {"C1 next line in UTF-8", "b\u00850001_TXT.ZIP payroll.txt", kLinux, "\u0085", kUnused},
      {"C1 at the range's end", "x\u009f.txt", kWindowsUtf8, "\u009f", kUnused},
      {"line separator", "a\u2028b.txt", kLinux, "\u2028", kUnused},
      {"paragraph separator", "a\u2029b.txt", kWindowsUtf8, "\u2029", kUnused},
      {"Latin-1 letter after the C1 range", "\u00a0caf\u00e9.txt", kLinux, kAllowed, kNoForm},
      {"raw Shift-JIS with a 0x85 byte", "\x83\x85\x81\x5b\x83\x58.txt", kLinux, kAllowed, kUnused},
      {"raw Shift-JIS 表 (0x5C trail byte)", "\x95\x5c.txt", kLinux, kAllowed, kUnused},
      {"Shift-JIS 表 under Windows", "\x95\x5c.txt", kWindows, kAllowed, kUnused},
      {"backslash, UTF-8", "..\\..\\escape.txt", kLinux, "\\", kUnused},
      {"backslash in raw Shift-JIS", "\x8e\xca\\x.txt", kLinux, "\\", kUnused},
      {"backslash, Windows code page 932", "a\\b.txt", kWindows, "\\", kUnused},
      {"backslash, Windows UTF-8", "\u8868\\b.txt", kWindowsUtf8, "\\", kUnused},
      {"NFD kana composed for CP932", "\u304b\u3099\u30d5\u309a.txt", kLinux, kAllowed,
       "\x82\xaa\x83\x76.txt"},
      {"NFD Latin without a CP932 form", "cafe\u0301.txt", kLinux, kAllowed, kNoForm},
      {"no form at all", "\U0001f600.txt", kLinux, kAllowed, kNoForm},
      {"angstrom sign kept as CP932 has it", "\u212b.txt", kLinux, kAllowed, "\x81\xf0.txt"},
      {"colon on Linux", "12:30 notes.txt", kLinux, kAllowed, "12:30 notes.txt"},
      {"Windows characters on Linux", "a*b?c\"d<e>f|g", kLinux, kAllowed, kUnused},
  };
  for (const char c : std::string_view(":*?\"<>|"))
    rows.push_back({"Windows character", std::string("a") + c + "b.txt",
                    c == '*' ? kWindowsUtf8 : kWindows, std::string(1, c), kUnused});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::optional<RefusedCharacter> refused = FindRefusedCharacter(row.name, row.syntax);
    EXPECT_EQ(refused ? refused->character : kAllowed, row.refused);
    try {
      CheckFileName("/in/" + row.name, row.name, row.syntax);
      EXPECT_EQ(row.refused, kAllowed);
    } catch (const EBadFileName&) {
      EXPECT_EQ(refused->fault, NameFault::kControlCharacter);
    } catch (const EBadNameCharacter& e) {
      EXPECT_EQ(refused->fault, NameFault::kCannotName);
      EXPECT_NE(e.Message().find("/in/" + row.name), std::string::npos);
      EXPECT_NE(e.Message().find(ProgramText("「") + row.refused + ProgramText("」")),
                std::string::npos);
    }
    if (row.cp932 != kUnused) {
      EXPECT_EQ(Utf8NameToCp932(row.name).value_or(kNoForm), row.cp932);
    }
  }
}

}  // namespace
}  // namespace kel::test
