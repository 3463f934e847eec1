// kelvarin-batch's language: its own texts in the locale's language, the system's messages
// unchanged in every locale with an English line below them outside Japanese, stdout the same
// bytes whatever the locale.
#include "batch/batch_language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "batch/batch_options.h"
#include "batch/cp932_names.h"
#include "batch/text_format.h"
#include "batch_program.h"
#include "job/job_errors.h"
#include "support/temp_dir.h"
#include "zip/archive_verifier.h"
#include "zip/zip_builder.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

TEST(Format, SequentialAndNumberedValues) {
  EXPECT_EQ(Format("%s/%s files  %s%%", {"1", "2", "50"}), "1/2 files  50%");
  EXPECT_EQ(Format("%1$s により中止: %3$s 個中 %2$s 個", {"SIGINT", "3", "10"}),
            "SIGINT により中止: 10 個中 3 個");
  // A faulty translation shows its fault; it never reads past the values.
  EXPECT_EQ(Format("%s %s %4$s %d %", {"a"}), "a %s %4$s %d %");
}

// Every Japanese message the system's classes give, and what kelvarin-batch says it means in
// English. Names that hold the very text between two names make a message that splits more than
// one way: its English then goes without names rather than with wrong ones.
TEST(EnglishMeaning, OfEveryJapaneseMessageOfTheSystem) {
  const std::string a = "/in/猫 と 犬.txt";  // holds the text between ENameClash's names
  const std::string b = "/in/b.txt";
  const std::string c = "/in/ は書き出し先 .txt";  // and ESourceOverwrite's
  const std::string z = "/out/0000_txt.zip";
  const std::string rule =
      ": the four-digit sequence number starts again at 0000 every 10000 files in collection "
      "order, so two files 10000 (or a multiple of it) apart in that order with the same "
      "extension field get the same archive";
  struct Case {
    std::function<void()> raise;
    std::string english;
  };
  const std::vector<Case> cases = {
      {[&] { throw EFolderError(EFolderError::Kind::kNotFound, a); },
       "Folder " + a + " does not exist"},
      {[&] { throw EFolderError(EFolderError::Kind::kNotAFolder, "/x\ny が見つかりません"); },
       "/x\\ny が見つかりません is not a folder"},
      {[&] { throw EFolderError(EFolderError::Kind::kNoSourceFolder, ""); },
       "No folder to compress was given"},
      {[&] { throw EFolderError(EFolderError::Kind::kNoOutputFolder, ""); },
       "No output folder was given"},
      {[&] { throw EFolderBusy(c); },
       "Another run is writing into folder " + c + "; start again when it has finished"},
      {[&] { throw EBadFileName("/in/a\tb"); },
       "The name of file /in/a\\tb contains a control character; nothing was compressed"},
      {[] { throw EBadNameCharacter("/in/a:b", ":"); },
       "The name of file /in/a:b contains the character :, which a file name cannot hold; "
       "nothing was compressed"},
      {[&] { throw ESourceOverwrite(a, z); },
       "File " + a + " is the very file " + z +
           " that was to be written; nothing was compressed, so that it is not overwritten"},
      {[&] { throw ESourceOverwrite(c, z); },
       "A file to compress is the very file that was to be written; nothing was compressed, so "
       "that it is not overwritten"},
      {[&] { throw ENameClash(b, c, z); },
       "Files " + b + " and " + c + " would both go into archive " + z + rule},
      {[&] { throw ENameClash(a, b, z); }, "Two files would both go into the same archive" + rule},
      {[] { throw EJobBusy(); }, "A new run cannot start while files are being compressed"},
      {[&] { throw EFCreateError(a); }, "Cannot create file " + a},
      {[] { throw EWriteError(); }, "Error writing to a stream"},
      {[&] { throw ECp932Name(a); },
       "The name of file " + a + " cannot be written in Shift-JIS (CP932)"},
      {[&] { throw EVerifyError(z, "CRC-32 が一致しません (記録 1, 実際 2)"); },
       "Archive " + z + " failed verification: it does not read back as it was written"},
      {[] { throw EInOutError(2); }, "File not found"},
      {[] { throw EInOutError(5); }, "Access denied"},
      {[] { throw EInOutError(101); }, "Disk full"},
      {[] { throw EInOutError(1117); }, "I/O error (1117)"},
      // English already, or not the form its class gives: nothing to add.
      {[&] { throw EGZipError("Error writing to " + z, 5, Reason::FromErrorNumber(101)); }, ""},
      {[] { throw EInOutError("フォルダ /x が見つかりません", 2); }, ""},
  };
  for (const Case& each : cases) {
    try {
      each.raise();
      ADD_FAILURE() << "nothing raised";
    } catch (const Exception& e) {
      SCOPED_TRACE(e.Message());
      EXPECT_EQ(EnglishMeaning(e.ClassName(), e.Message()), each.english);
    }
  }
}

// Every number of the message table, and every number with a reason of its own, has its reason
// in English (the program runs without a catalogue in this test); numbers without either are
// shown as such.
TEST(TranslatedReasonText, EveryNumberOfTheMessageTableInEnglish) {
  for (int number = 0; number < 2000; ++number) {
    const std::string generic = "I/O error (" + std::to_string(number) + ")";
    const bool own_text = !EInOutError::MessageFor(number).starts_with("I/O ") ||
                          ReasonText(Reason::FromErrorNumber(number)) !=
                              EInOutError::MessageFor(number);
    EXPECT_EQ(TranslatedReasonText(Reason::FromErrorNumber(number)) != generic, own_text) << number;
  }
  EXPECT_EQ(TranslatedReasonText(Reason::FromErrorNumber(101)), "disk full");
  EXPECT_EQ(TranslatedReasonText({Reason::kChangedWhileRead, 0, {}}),
            "the file changed while it was being read");
  EXPECT_EQ(TranslatedReasonText({}), "");
}

// The program under both locales: the same stdout and files, the system's message in both, the
// program's own texts and the English line by locale.
TEST(BatchLanguage, MissingFolderInEachLocale) {
  TempDir dir;
  const std::string missing = dir / "nowhere";
  const std::string message = "フォルダ " + missing + " が見つかりません.\n";
  const ProgramRun english = RunBatchProgram(Args(missing, dir.path()), "", kEnglish);
  EXPECT_EQ(english.err, message + "  In English: Folder " + missing + " does not exist.\n");
  const ProgramRun japanese = RunBatchProgram(Args(missing, dir.path()), "", kJapanese);
  EXPECT_EQ(japanese.err, message);
  for (const ProgramRun* run : {&english, &japanese}) {
    EXPECT_EQ(run->status, 1);
    EXPECT_EQ(run->out, "");
  }
}

// The help's examples and --encoding text are those of the system the program runs on.
TEST(BatchLanguage, HelpSpeaksOfTheSystemsOwnFolders) {
  const std::string windows = BatchHelp(PathStyle::kWindows);
  const std::string example = "  kelvarin-batch --encoding utf-8 C:\\作業\\報告書 D:\\納品\n";
  EXPECT_NE(windows.find(example), std::string::npos) << windows;
  EXPECT_NE(windows.find("Shift-JIS on Japanese Windows; a name outside it\n"), std::string::npos);
  EXPECT_EQ(windows.find("~/reports"), std::string::npos);
  EXPECT_EQ(BatchHelp(PathStyle::kNative).find("C:\\"), std::string::npos);
}

TEST(BatchLanguage, HelpAndUsageInEachLocale) {
  const ProgramRun english = RunBatchProgram("--help", "", kEnglish);
  const ProgramRun japanese = RunBatchProgram("--help", "", kJapanese);
  EXPECT_TRUE(english.out.starts_with("usage: kelvarin-batch SOURCE OUTPUT [OPTION]...\n"))
      << english.out;
  EXPECT_TRUE(japanese.out.starts_with("使い方: kelvarin-batch 圧縮するフォルダ 出力先フォルダ"))
      << japanese.out;
  EXPECT_NE(english.out.find("\nExamples:\n"), std::string::npos) << english.out;
  EXPECT_NE(japanese.out.find("\n例:\n"), std::string::npos) << japanese.out;
  for (const ProgramRun* run : {&english, &japanese}) {
    EXPECT_EQ(run->status, 0);
    EXPECT_EQ(run->err, "");
    for (const char* example :
         {"  kelvarin-batch ~/reports /media/usb/reports\n",
          "  kelvarin-batch --encoding cp932 ~/reports", "  kelvarin-batch --verify ~/reports"})
      EXPECT_NE(run->out.find(example), std::string::npos) << example;
  }
  const ProgramRun bad = RunBatchProgram("--jobs 0 a b", "", kJapanese);
  EXPECT_EQ(bad.err,
            "kelvarin-batch: ジョブ数 0 が不正です (1 から 1024 まで)\n"
            "使い方: kelvarin-batch 圧縮するフォルダ 出力先フォルダ [オプション]...\n"
            "        kelvarin-batch --check [圧縮したフォルダ] 出力先フォルダ [オプション]...\n");
  EXPECT_EQ(bad.status, 2);
}

// A file skipped with a Japanese message and files archived: stdout, files.txt and archives the
// same bytes in both locales; stderr by locale.
TEST(BatchLanguage, KeepGoingRunInEachLocale) {
  TempDir dir;
  fs::create_directories(dir / "in");
  WriteFile(dir / "in/a.dat", "a");
  std::map<std::string, ProgramRun> runs;
  for (const char* locale : {kEnglish, kJapanese}) {
    const std::string out = dir / locale;
    // A folder where the first archive goes: it cannot be put there.
    fs::create_directories(out + "/0000_dat.zip");
    WriteFile(out + "/0000_dat.zip/keep", "keep");
    runs[locale] = RunBatchProgram(Args(dir / "in", out) + " --keep-going", "", locale);
    EXPECT_EQ(runs[locale].status, 1);
    // No completion text, and the index lists no archive that is not there.
    EXPECT_EQ(runs[locale].out, "(0/0)\n");
    EXPECT_EQ(ReadFile(out + "/files.txt"), "");
  }
  const std::string source = dir / "in/a.dat";
  auto denied = [&dir](const char* locale) {
    return "ファイルへのアクセスが拒否されました. (" + dir / locale + "/0000_dat.zip)\n";
  };
  EXPECT_EQ(runs[kEnglish].err, "File " + source + " was skipped: " + denied(kEnglish) +
                                    "  In English: Access denied.\n"
                                    "0 files were archived; 1 file could not be archived:\n"
                                    "  " +
                                    source + ": " + denied(kEnglish) +
                                    "    In English: Access denied.\n");
  EXPECT_EQ(runs[kJapanese].err,
            "ファイル " + source + " を飛ばしました: " + denied(kJapanese) +
                "0 個のファイルを圧縮しました。1 個のファイルは圧縮できませんでした:\n" + "  " +
                source + ": " + denied(kJapanese));
}

TEST(BatchLanguage, StandardOutputAndArchivesAreTheSameBytesInEveryLocale) {
  TempDir dir;
  fs::create_directories(dir / "in");
  WriteFile(dir / "in/報告書.docx", MakeBytes(30000, 3, true));
  WriteFile(dir / "in/b.txt", "b");
  std::vector<ProgramRun> runs;
  for (const char* locale : {kEnglish, kJapanese}) {
    fs::create_directories(dir / locale);
    runs.push_back(RunBatchProgram(Args(dir / "in", dir / locale) + " --verify", "", locale));
    EXPECT_EQ(runs.back().status, 0) << runs.back().err;
    EXPECT_EQ(runs.back().err, "");
  }
  EXPECT_EQ(runs[0].out, runs[1].out);
  EXPECT_EQ(runs[0].out, "(0/1)\n(1/1)\n圧縮が完了しました．\n");
  for (const auto& entry : fs::directory_iterator(dir / kEnglish)) {
    const std::string name = entry.path().filename();
    EXPECT_EQ(ReadFile(entry.path()), ReadFile(dir / kJapanese + "/" + name)) << name;
  }
}

// A copy of the program outside the build tree does not take the build tree's catalogue; it
// looks where an installed program's is, and without one speaks English throughout, also under
// a Japanese locale.
TEST(BatchLanguage, CopyOutsideTheBuildTreeWithoutCatalogueSpeaksEnglish) {
  if (fs::exists(KELVARIN_INSTALLED_CATALOGUES "/ja/LC_MESSAGES/kelvarin.mo"))
    GTEST_SKIP() << "a catalogue is installed";
  TempDir dir;
  fs::copy_file(KELVARIN_BATCH_PROGRAM, dir / "kelvarin-batch");
  fs::permissions(dir / "kelvarin-batch", fs::perms::owner_exec, fs::perm_options::add);
  const ProgramRun run =
      RunBatchProgram(Args(dir / "nowhere", dir.path()), "", kJapanese, dir / "kelvarin-batch");
  EXPECT_EQ(run.err, "フォルダ " + dir / "nowhere" + " が見つかりません.\n  In English: Folder " +
                         dir / "nowhere" + " does not exist.\n");
}

}  // namespace
}  // namespace kel::test
