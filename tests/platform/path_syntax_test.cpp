#include "platform/path_syntax.h"

#include <gtest/gtest.h>

namespace kel {
namespace {

const PathSyntax kWin = PathSyntax::Windows(CodePage::kShiftJis);
const PathSyntax kUnix{PathStyle::kNative, CodePage::kUtf8};

TEST(PathSyntaxTest, WindowsRelativePaths) {
  EXPECT_EQ(kWin.ExtractRelativePath("D:\\data\\", "D:\\data\\a.txt"), "a.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("D:\\data\\", "D:\\data\\sub\\b.txt"), "sub\\b.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("D:\\data\\", "D:\\other\\c.txt"), "..\\other\\c.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("D:\\data\\", "E:\\e.txt"), "E:\\e.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("d:\\DATA\\", "D:\\Data\\x.txt"), "x.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("D:\\data", "D:\\data\\a.txt"), "data\\a.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("\\\\srv\\share\\a\\", "\\\\SRV\\Share\\b\\c.txt"),
            "..\\b\\c.txt");
  EXPECT_EQ(kWin.ExtractRelativePath("\\\\srv\\share", "\\\\srv\\share\\c.txt"), "c.txt");
}

TEST(PathSyntaxTest, NativeRelativePathsCompareExactly) {
  EXPECT_EQ(kUnix.ExtractRelativePath("/data/", "/data/a.txt"), "a.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/data/", "/data/sub/b.txt"), "sub/b.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/data/", "/other/c.txt"), "../other/c.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/data/", "/Data/a.txt"), "../Data/a.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/d/x:y/", "/d/x:y/a.txt"), "a.txt");
  // A file below the base is cut from its path; others are walked: both give the same.
  EXPECT_EQ(kUnix.ExtractRelativePath("/", "/a/b.txt"), "a/b.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/data/", "/data//sub/b.txt"), "/sub/b.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/data/sub/", "/data/a.txt"), "../a.txt");
  EXPECT_EQ(kUnix.ExtractRelativePath("/data", "/data/a.txt"), "data/a.txt");
  const PathSyntax sjis{PathStyle::kNative, CodePage::kShiftJis};
  EXPECT_EQ(sjis.ExtractRelativePath("/\x95\x5c/", "/\x95\x5c/\x95\x5c.txt"), "\x95\x5c.txt");
}

TEST(PathSyntaxTest, NameSplittingOfFileNames) {
  struct Row {
    const char *name, *base, *ext;
  };
  const Row rows[] = {
      {"report.docx", "report", ".docx"}, {"a.b", "a", ".b"},
      {"Makefile", "Makefile", ""},       {"data.backup.tar.gz", "data.backup.tar", ".gz"},
      {"Photo.JPG", "Photo", ".JPG"},     {"page.markdown", "page", ".markdown"},
      {"notes.", "notes", "."},           {".profile", "", ".profile"},
  };
  for (const auto& syntax : {kWin, kUnix}) {
    for (const Row& row : rows) {
      const std::string path =
          std::string("dir.x") + syntax.Separator() + row.name;  // a dot in the folder is no ext
      const std::string name = syntax.ExtractFileName(path);
      EXPECT_EQ(name, row.name);
      EXPECT_EQ(syntax.ExtractBaseName(name), row.base);
      EXPECT_EQ(syntax.ExtractFileExt(path), row.ext);
    }
  }
  EXPECT_EQ(kWin.ExtractFileName("D:\\a\\12:30 notes.txt"), "30 notes.txt");
  EXPECT_EQ(kUnix.ExtractFileName("/a/12:30 notes.txt"), "12:30 notes.txt");
  EXPECT_EQ(kWin.ExtractFilePath("C:x.txt"), "C:");
  EXPECT_EQ(kUnix.ExtractFilePath("x.txt"), "");
}

TEST(PathSyntaxTest, DrivesAndTrailingSeparators) {
  EXPECT_EQ(kWin.ExtractFileDrive("C:\\x\\y"), "C:");
  EXPECT_EQ(kWin.ExtractFileDrive("\\\\srv\\share\\x"), "\\\\srv\\share");
  EXPECT_EQ(kWin.ExtractFileDrive("\\\\srv"), "\\\\srv");
  EXPECT_EQ(kUnix.ExtractFileDrive("C:/x"), "");
  EXPECT_EQ(kWin.IncludeTrailingSeparator("D:\\"), "D:\\");
  EXPECT_EQ(kUnix.IncludeTrailingSeparator("/data"), "/data/");
  EXPECT_EQ(kUnix.IncludeTrailingSeparator(""), "");
}

TEST(PathSyntaxTest, ShiftJisTrailByteIsNoSeparator) {
  const std::string hyo = "\x95\x5C";  // 表
  EXPECT_FALSE(kWin.EndsWithSeparator("C:\\" + hyo));
  EXPECT_EQ(kWin.IncludeTrailingSeparator("C:\\" + hyo), "C:\\" + hyo + "\\");
  const std::string file = "C:\\dir\\" + hyo + "x.txt";
  EXPECT_EQ(kWin.ExtractFileName(file), hyo + "x.txt");
  EXPECT_EQ(kWin.ExtractFilePath(file), "C:\\dir\\");
  EXPECT_EQ(kWin.ExtractFileExt("a.b" + hyo), ".b" + hyo);
  EXPECT_EQ(kWin.ExtractBaseName(hyo + "." + hyo), hyo);
  EXPECT_EQ(kWin.ExtractRelativePath("C:\\" + hyo + "\\", "C:\\" + hyo + "\\a.txt"), "a.txt");
  // Read as single bytes the same path does split at 0x5C.
  EXPECT_EQ(PathSyntax::Windows(CodePage::kSingleByte).ExtractFileName(file), "x.txt");
}

}  // namespace
}  // namespace kel
