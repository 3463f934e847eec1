#include "gui/qt/qt_text.h"

#include <optional>

#include "platform/code_page.h"

namespace kel {

QString ToQString(std::string_view text) {
  switch (SystemCodePage()) {
    case CodePage::kShiftJis: {
      std::optional<std::string> utf8 = Cp932ToUtf8(text);
      if (utf8) return QString::fromStdString(*utf8);
      return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    case CodePage::kSingleByte:
      return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    case CodePage::kUtf8:
    default:
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }
}

std::string FromQString(const QString& text) {
  switch (SystemCodePage()) {
    case CodePage::kShiftJis: {
      std::string utf8 = text.toStdString();
      std::optional<std::string> cp932 = Utf8ToCp932(utf8);
      if (cp932) return *cp932;
      // Keep what has a CP932 form, character by character.
      std::string out;
      for (QChar c : text) {
        std::optional<std::string> one = Utf8ToCp932(QString(c).toStdString());
        out += one ? *one : std::string("?");
      }
      return out;
    }
    case CodePage::kSingleByte:
      return text.toLocal8Bit().toStdString();
    case CodePage::kUtf8:
    default:
      return text.toStdString();
  }
}

}  // namespace kel
