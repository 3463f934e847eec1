#include "zip/archive_verifier.h"

#include <cinttypes>
#include <cstdio>

#include "platform/file.h"

namespace kel {

namespace {

std::string Hex32(uint64_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIx32, static_cast<uint32_t>(v));
  return text;
}

}  // namespace

std::string VerifyReason(const ArchiveFinding& f) {
  using P = ArchiveProblem;
  const std::string recorded = std::to_string(f.recorded), actual = std::to_string(f.actual);
  switch (f.kind) {
    case P::kUnreadable:
      return f.text;
    case P::kNoEndRecord:
      return "終端レコードがありません";
    case P::kEndRecordDisk:
      return "終端レコードのディスク番号が 0 ではありません";
    case P::kEndRecordCounts:
      return "終端レコードのエントリ数が食い違っています";
    case P::kNoZip64End:
      return "Zip64 終端レコードがありません";
    case P::kZip64EndPlace:
      return "Zip64 終端レコードの位置が不正です";
    case P::kZip64EndBroken:
      return "Zip64 終端レコードが壊れています";
    case P::kZip64EndDiffers:
      return "終端レコードと Zip64 終端レコードが食い違っています";
    case P::kEntryCount:
      return "エントリ数が 1 ではありません (" + actual + ")";
    case P::kDirectoryPlace:
      return "中央ディレクトリの位置または大きさが不正です";
    case P::kDirectorySize:
      return "中央ディレクトリの大きさが不正です";
    case P::kNoCentralRecord:
      return "中央ディレクトリレコードがありません";
    case P::kCentralLength:
      return "中央ディレクトリレコードの長さが不正です";
    case P::kMethod:
      return "圧縮方法が deflate ではありません";
    case P::kCentralDisk:
      return "中央ディレクトリレコードのディスク番号が 0 ではありません";
    case P::kZip64ExtraShort:
      return "Zip64 拡張フィールドが短すぎます";
    case P::kCentralExtraBroken:
      return "中央ディレクトリレコードの拡張フィールドが壊れています";
    case P::kNoZip64Extra:
      return "Zip64 拡張フィールドがありません";
    case P::kLocalOffset:
      return "ローカルヘッダの位置が 0 ではありません";
    case P::kNoLocalHeader:
      return "ローカルヘッダがありません";
    case P::kLocalExtra:
      return "ローカルヘッダの拡張フィールドが不正です";
    case P::kDataLength:
      return "圧縮データの長さが記録と一致しません";
    case P::kDataShort:
      return "圧縮データが途中で終わっています";
    case P::kInflate:
      return "圧縮データを展開できません (" + f.text + ")";
    case P::kEntryName:
      return "エントリ名が書き込んだ名前と一致しません";
    case P::kFlags:
      return "汎用フラグが不正です (" + actual + ")";
    // "The entry name is marked UTF-8 but is not."
    case P::kUtf8Mark:
      return "エントリ名に UTF-8 の印がありますが、UTF-8 ではありません";
    case P::kLocalName:
      return "ローカルヘッダのエントリ名が一致しません";
    case P::kLocalDiffers:
      return "ローカルヘッダが中央ディレクトリレコードと一致しません";
    case P::kLocalSizes:
      return "ローカルヘッダの大きさが中央ディレクトリレコードと一致しません";
    case P::kTrailingData:
      return "圧縮データの後ろに余分なデータがあります";
    case P::kCrc:
      return "CRC-32 が一致しません (記録 " + Hex32(f.recorded) + ", 実際 " + Hex32(f.actual) + ")";
    case P::kSize:
      return "展開後の大きさが記録と一致しません (記録 " + recorded + ", 実際 " + actual + ")";
    case P::kSourceSize:
      return "元のファイルと大きさが一致しません (元 " + recorded + ", 書庫 " + actual + ")";
    // "A Zip64 record where no value needs one."
    case P::kUnneededZip64:
      return "必要のない Zip64 レコードがあります";
  }
  return "";
}

EVerifyError::EVerifyError(const std::string& archive_path, const std::string& reason)
    : Exception("書庫 " + archive_path + " の検証に失敗しました: " + reason) {}

void VerifyArchive(const std::string& archive_path, const ExpectedEntry& expected) {
  int error_number = 0;
  File file = File::TryOpen(archive_path, OpenMode::kRead, error_number);
  if (!file.IsOpen()) throw EVerifyError(archive_path, EInOutError::MessageFor(error_number));
  ArchiveReadHooks hooks;
  hooks.expected = &expected;
  hooks.on_finding = [&archive_path](const ArchiveFinding& finding) {
    if (!IsWarning(finding.kind)) throw EVerifyError(archive_path, VerifyReason(finding));
    return true;
  };
  ReadArchive(file, hooks);
}

}  // namespace kel
