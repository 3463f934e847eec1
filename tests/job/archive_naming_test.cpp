#include "job/archive_naming.h"

#include <gtest/gtest.h>

#include "job/folder_field.h"

namespace kel {
namespace {

const PathSyntax kUtf8 = PathSyntax{PathStyle::kNative, CodePage::kUtf8};
const PathSyntax kSjisWindows = PathSyntax::Windows(CodePage::kShiftJis);

struct NamingRow {
  int32_t sequence;
  const char* file_name;
  const char* listing;
  const char* disk;
  const char* index_line;
};

TEST(ArchiveNaming, WorkedRows) {
  const NamingRow rows[] = {
      {0, "report.docx", "0000DOCX.ZIP", "0000docx.zip", "0000DOCX.ZIP\treport"},
      {12, "a.b", "0012___B.ZIP", "0012___b.zip", "0012___B.ZIP\ta"},
      {2, "Makefile", "0002____.ZIP", "0002____.zip", "0002____.ZIP\tMakefile"},
      {3, "data.backup.tar.gz", "0003__GZ.ZIP", "0003__gz.zip", "0003__GZ.ZIP\tdata.backup.tar"},
      {4, "Photo.JPG", "0004_JPG.ZIP", "0004_jpg.zip", "0004_JPG.ZIP\tPhoto"},
      {5, "page.markdown", "0005MARK.ZIP", "0005mark.zip", "0005MARK.ZIP\tpage"},
      {6, "notes.", "0006____.ZIP", "0006____.zip", "0006____.ZIP\tnotes"},
      {7, ".profile", "0007PROF.ZIP", "0007prof.zip", "0007PROF.ZIP\t"},
  };
  for (const NamingRow& row : rows) {
    SCOPED_TRACE(row.file_name);
    const ArchiveName name = MakeArchiveName(row.sequence, row.file_name, kUtf8);
    EXPECT_EQ(name.listing, row.listing);
    EXPECT_EQ(name.disk, row.disk);
    EXPECT_EQ(IndexLine(name, row.file_name, kUtf8), row.index_line);
  }
}

TEST(ArchiveNaming, SequenceFieldKeepsFourDigits) {
  EXPECT_EQ(SequenceField(0), "0000");
  EXPECT_EQ(SequenceField(9999), "9999");
  EXPECT_EQ(SequenceField(10000), "0000");
  EXPECT_EQ(SequenceField(12345), "2345");
}

TEST(ArchiveNaming, Utf8ExtensionIsCutOnlyBetweenCharacters) {
  // テ is 3 bytes: a second character would overrun the 4-byte field.
  EXPECT_EQ(ExtensionField("日本語.テキスト", kUtf8), "_テ");
  EXPECT_EQ(ExtensionField("x.é", kUtf8), "__é");
  EXPECT_EQ(ExtensionField("x.abcé", kUtf8), "_abc");  // é would make 5 bytes
  EXPECT_EQ(ExtensionField("x.aébc", kUtf8), "aéb");
  EXPECT_EQ(ExtensionField("x.😀z", kUtf8), "😀");
  EXPECT_EQ(ExtensionField("x.z😀", kUtf8), "___z");
  EXPECT_EQ(MakeArchiveName(1, "日本語.テキスト", kUtf8).disk, "0001_テ.zip");
}

TEST(ArchiveNaming, BothFormsStayTwelveBytes) {
  // Characters whose other case has another UTF-8 length (ı/I, ſ/S, ǅ) and a 4-byte one.
  for (const char* file_name : {"a.ıı", "a.ſſ", "a.ǅǅ", "a.İx", "a.😀", "a.ÄÖ"}) {
    SCOPED_TRACE(file_name);
    const ArchiveName name = MakeArchiveName(42, file_name, kUtf8);
    EXPECT_EQ(name.listing.size(), 12u);
    EXPECT_EQ(name.disk.size(), 12u);
  }
}

// Shift-JIS bytes of the names below.
const std::string kNihongo = "\x93\xfa\x96\x7b\x8c\xea";           // 日本語
const std::string kTekisuto = "\x83\x65\x83\x4c\x83\x58\x83\x67";  // テキスト: trails e, L, X, g
const std::string kHyou = "\x95\x5c";                              // 表: trail byte is "\"
const std::string kSo = "\x83\x5c";                                // ソ: trail byte is "\"

TEST(ArchiveNamingShiftJis, ExtensionKeepsWholeDoubleByteCharacters) {
  const std::string file_name = kNihongo + "." + kTekisuto;
  EXPECT_EQ(ExtensionField(file_name, kSjisWindows), "\x83\x65\x83\x4c");  // テキ
  EXPECT_EQ(ExtensionField("a.x" + kSo + "\x83\x74", kSjisWindows), "_x" + kSo);
}

TEST(ArchiveNamingShiftJis, CaseConversionLeavesTrailBytesAlone) {
  // The trail bytes of テ and キ are "e" and "L": a byte-wise conversion would change them.
  const std::string file_name = kNihongo + "." + kTekisuto;
  const ArchiveName name = MakeArchiveName(3, file_name, kSjisWindows);
  EXPECT_EQ(name.listing, "0003\x83\x65\x83\x4c.ZIP");
  EXPECT_EQ(name.disk, "0003\x83\x65\x83\x4c.zip");
  EXPECT_EQ(IndexLine(name, file_name, kSjisWindows), "0003\x83\x65\x83\x4c.ZIP\t" + kNihongo);
}

TEST(ArchiveNamingShiftJis, TrailBackslashIsNoDelimiter) {
  // ソフト as the extension: its first trail byte must not end the extension search.
  EXPECT_EQ(ExtensionField("a." + kSo + "\x83\x74\x83\x67", kSjisWindows), kSo + "\x83\x74");
  // 表.txt in a Windows path: the name is 表.txt, not what follows its trail byte.
  EXPECT_EQ(kSjisWindows.ExtractFileName("D:\\data\\" + kHyou + ".txt"), kHyou + ".txt");
  const ArchiveName name = MakeArchiveName(0, kHyou + ".txt", kSjisWindows);
  EXPECT_EQ(IndexLine(name, kHyou + ".txt", kSjisWindows), "0000_TXT.ZIP\t" + kHyou);
  // A name that is only 表: no extension, and the base name keeps both bytes.
  EXPECT_EQ(IndexLine(MakeArchiveName(1, kHyou, kSjisWindows), kHyou, kSjisWindows),
            "0001____.ZIP\t" + kHyou);
}

TEST(FolderFieldText, AppendsSeparatorUnlessLastCharacterIsOne) {
  EXPECT_EQ(FolderFieldText("D:\\data", kSjisWindows), "D:\\data\\");
  EXPECT_EQ(FolderFieldText("D:\\data\\", kSjisWindows), "D:\\data\\");
  EXPECT_EQ(FolderFieldText("D:\\", kSjisWindows), "D:\\");
  // 表 ends in the byte 0x5C but is not a separator.
  EXPECT_EQ(FolderFieldText("D:\\" + kHyou, kSjisWindows), "D:\\" + kHyou + "\\");
  EXPECT_EQ(FolderFieldText("/srv/in", kUtf8), "/srv/in/");
  EXPECT_EQ(FolderFieldText("/srv/in/", kUtf8), "/srv/in/");
  EXPECT_EQ(FolderFieldText("/", kUtf8), "/");
}

}  // namespace
}  // namespace kel
