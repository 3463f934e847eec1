#include "job/job_errors.h"

#include "job/name_text.h"

namespace kel {

// "Files A and B would both go into archive C: past 10,000 files the four-digit sequence
// number starts again at 0000, so one run handles at most 10,000 files of one extension field."
ENameClash::ENameClash(const std::string& first_file, const std::string& second_file,
                       const std::string& archive_path)
    : Exception("ファイル " + EscapedName(first_file) + " と " + EscapedName(second_file) +
                " が同じ書庫 " + archive_path +
                " になります。10000 個を超えると 4 桁の通し番号が 0000 に戻るため、1 回に圧縮"
                "できるのは、拡張子欄が同じファイル 10000 個までです") {}

namespace {

std::string FolderErrorText(EFolderError::Kind kind, const std::string& folder) {
  switch (kind) {
    case EFolderError::Kind::kNotFound:
      // "Folder X not found."
      return "フォルダ " + EscapedName(folder) + " が見つかりません";
    case EFolderError::Kind::kNotAFolder:
      // "X is not a folder."
      return EscapedName(folder) + " はフォルダではありません";
    case EFolderError::Kind::kNoSourceFolder:
      // "No source folder is given."
      return "圧縮するフォルダが指定されていません";
    case EFolderError::Kind::kNoOutputFolder:
      // "No output folder is given."
      return "出力先フォルダが指定されていません";
    case EFolderError::Kind::kUnlistable:
      // "The files of folder X cannot be listed; nothing was compressed."
      return "フォルダ " + EscapedName(folder) + " の中を一覧できません。圧縮を中止しました";
  }
  return {};
}

}  // namespace

EFolderError::EFolderError(Kind kind, const std::string& folder, Reason reason)
    : Exception(FolderErrorText(kind, folder), reason) {}

// "Another run is writing into folder X; wait until it has finished."
EFolderBusy::EFolderBusy(const std::string& folder)
    : Exception("フォルダ " + EscapedName(folder) +
                " には別の圧縮が書き込み中です。終わってから実行してください") {}

// "The name of file X holds a control character; nothing was compressed."
EBadFileName::EBadFileName(const std::string& source_file)
    : Exception("ファイル " + EscapedName(source_file) +
                " の名前に制御文字が含まれています。圧縮を中止しました") {}

// "The name of file X holds the character C, which cannot be used in a file name; nothing was
// compressed."
EBadNameCharacter::EBadNameCharacter(const std::string& source_file, const std::string& character)
    : Exception("ファイル " + EscapedName(source_file) + " の名前に使えない文字「" + character +
                "」が含まれています。圧縮を中止しました") {}

// "File A is the same file as B, which would be written; nothing was compressed."
ESourceOverwrite::ESourceOverwrite(const std::string& source_file, const std::string& target_path)
    : Exception("ファイル " + EscapedName(source_file) + " は書き出し先 " + target_path +
                " と同じファイルです。上書きを避けるため圧縮を中止しました") {}

// "The name of file X cannot be written in the system's code page; nothing was compressed."
ENameNotInCodePage::ENameNotInCodePage(const std::string& source_file)
    : Exception("ファイル " + source_file +
                " の名前はシステムの文字コードで書けません。圧縮を中止しました") {}

// "Compression is running; a new run cannot be started."
EJobBusy::EJobBusy() : Exception("圧縮の実行中は新しい圧縮を開始できません") {}

}  // namespace kel
