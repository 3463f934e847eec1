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

std::string ReasonText(const Reason& reason) {
  switch (reason.kind) {
    case Reason::kNone:
      return "";
    case Reason::kErrorNumber:
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
