#include "platform/exceptions.h"

#include <cstdio>

namespace kel {

std::string EInOutError::MessageFor(int error_code) {
  switch (error_code) {
    case 2:
      return "ファイルが見つかりません";
    case 3:
      return "不正なファイル名です";
    case 4:
      return "オープンしたファイルが多すぎます";
    case 5:
      return "ファイルへのアクセスが拒否されました";
    case 100:
      return "ファイルの末尾以降を読み込みました";
    case 101:
      return "ディスクがいっぱいです";
    case 106:
      return "入力値が数値ではありません";
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "I/O エラー (%d)", error_code);
      return text;
    }
  }
}

namespace {

// Errors whose message-table text ("I/O エラー (32)") says nothing a user can act on: the reason
// says what happened instead. The message itself stays the system's.
const char* ReasonOfErrorNumber(int error_number) {
  switch (error_number) {
    case 21:
      // "The drive is not ready (its medium may have been removed)."
      return "ドライブの準備ができていません (メディアが取り外された可能性があります)";
    case 32:
    case 33:
      // "Another program is using this file."
      return "別のプログラムがこのファイルを使用中です";
    case 53:
      // "The network folder cannot be found."
      return "ネットワーク上のフォルダが見つかりません";
    case 59:
      // "The connection to the network folder was lost."
      return "ネットワーク上のフォルダとの接続が切れました";
    case 223:
      // "The file is too large for this drive (a FAT32 drive holds no file of 4 GiB or more)."
      return "ファイルが大きすぎて、このドライブには置けません (FAT32 のドライブには 4 GiB "
             "以上のファイルを置けません)";
    default:
      return nullptr;
  }
}

}  // namespace

std::string ReasonText(const Reason& reason) {
  switch (reason.kind) {
    case Reason::kNone:
      return "";
    case Reason::kErrorNumber:
      if (const char* text = ReasonOfErrorNumber(reason.error_number)) return text;
      return EInOutError::MessageFor(reason.error_number);
    case Reason::kChangedWhileRead:
      // "The file changed while it was being read."
      return "読み込み中にファイルが変更されました";
    case Reason::kNotRegularFile:
      // "It is not a regular file."
      return "通常のファイルではありません";
  }
  return "";
}

EInOutError::EInOutError(int error_code)
    : Exception(MessageFor(error_code)), ErrorCode(error_code) {}

EFCreateError::EFCreateError(const std::string& path)
    : EStreamError("ファイル " + path + " を作成できません") {}

EWriteError::EWriteError() : EStreamError("ストリームへの書き込みエラー") {}

}  // namespace kel
