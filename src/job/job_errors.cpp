#include "job/job_errors.h"

namespace kel {

// "Files A and B would both go into archive C; one run handles at most 10,000 files of one
// extension field."
ENameClash::ENameClash(const std::string& first_file, const std::string& second_file,
                       const std::string& archive_path)
    : Exception("ファイル " + first_file + " と " + second_file + " が同じ書庫 " + archive_path +
                " になります。1 回に圧縮できるのは、拡張子欄が同じファイル 10000 個までです") {}

// "File A is the same file as B, which would be written; nothing was compressed."
ESourceOverwrite::ESourceOverwrite(const std::string& source_file, const std::string& target_path)
    : Exception("ファイル " + source_file + " は書き出し先 " + target_path +
                " と同じファイルです。上書きを避けるため圧縮を中止しました") {}

// "Compression is running; a new run cannot be started."
EJobBusy::EJobBusy() : Exception("圧縮の実行中は新しい圧縮を開始できません") {}

}  // namespace kel
