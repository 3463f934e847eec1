#include "batch/batch_language.h"

#include <string_view>
#include <vector>

#include "batch/text_format.h"
#include "platform/translation.h"

#ifndef KELVARIN_BUILD_PROGRAM_DIR
#define KELVARIN_BUILD_PROGRAM_DIR nullptr
#define KELVARIN_BUILD_CATALOGUES nullptr
#endif
#ifndef KELVARIN_INSTALLED_CATALOGUES
#define KELVARIN_INSTALLED_CATALOGUES nullptr
#endif

namespace kel {

namespace {

// The message table's texts in English, by error number (EInOutError::MessageFor).
struct NumberText {
  int number;
  const char* english;
};
constexpr NumberText kErrorNumberTexts[] = {
    {2, N_("file not found")},
    {3, N_("invalid file name")},
    {4, N_("too many open files")},
    {5, N_("access denied")},
    {100, N_("read past the end of the file")},
    {101, N_("disk full")},
    {106, N_("invalid numeric input")},
};

// The reasons of the numbers whose table text says nothing a user can act on (ReasonText).
constexpr NumberText kErrorNumberReasons[] = {
    {21, N_("the drive is not ready (its medium may have been removed)")},
    {32, N_("another program is using this file")},
    {33, N_("another program is using this file")},
    {53, N_("the network folder cannot be found")},
    {59, N_("the connection to the network folder was lost")},
    {223, N_("the file is too large for this drive (a FAT32 drive holds no file of 4 GiB or "
             "more)")},
};

const char* ErrorNumberText(int number) {
  for (const NumberText& text : kErrorNumberReasons)
    if (text.number == number) return text.english;
  for (const NumberText& text : kErrorNumberTexts)
    if (text.number == number) return text.english;
  return nullptr;
}

// The forms the system gives the Japanese messages of its exception classes, with %1, %2, %3
// where a name or value stands, and what each means in English. Keep in step with the classes'
// constructors (platform/, zip/, job/, batch/); the tests build every one of them. A form with
// two names cannot always be split back into them (a name may hold the text between them): the
// English then goes without the names, which the line above shows anyway.
struct Meaning {
  const char* class_name;
  const char* japanese;
  const char* english;
  const char* english_without_names = nullptr;  // for forms with more than one slot
};
constexpr Meaning kMeanings[] = {
    {"EFolderError", "フォルダ %1 が見つかりません", "Folder %1 does not exist"},
    {"EFolderError", "%1 はフォルダではありません", "%1 is not a folder"},
    {"EFolderError", "圧縮するフォルダが指定されていません", "No folder to compress was given"},
    {"EFolderError", "出力先フォルダが指定されていません", "No output folder was given"},
    {"EFolderBusy", "フォルダ %1 には別の圧縮が書き込み中です。終わってから実行してください",
     "Another run is writing into folder %1; start again when it has finished"},
    {"EBadFileName", "ファイル %1 の名前に制御文字が含まれています。圧縮を中止しました",
     "The name of file %1 contains a control character; nothing was compressed"},
    {"EBadNameCharacter",
     "ファイル %1 の名前に使えない文字「%2」が含まれています。圧縮を中止しました",
     "The name of file %1 contains the character %2, which a file name cannot hold; nothing was "
     "compressed",
     "The name of a file contains a character that a file name cannot hold; nothing was "
     "compressed"},
    {"ESourceOverwrite",
     "ファイル %1 は書き出し先 %2 と同じファイルです。上書きを避けるため圧縮を中止しました",
     "File %1 is the very file %2 that was to be written; nothing was compressed, so that it is "
     "not overwritten",
     "A file to compress is the very file that was to be written; nothing was compressed, so "
     "that it is not overwritten"},
    {"ENameClash",
     "ファイル %1 と %2 が同じ書庫 %3 になります。10000 個を超えると 4 桁の通し番号が 0000 "
     "に戻るため、1 回に圧縮できるのは、拡張子欄が同じファイル 10000 個までです",
     "Files %1 and %2 would both go into archive %3: after 10000 files the four-digit sequence "
     "number starts again at 0000, so one run compresses at most 10000 files of the same "
     "extension field",
     "Two files would both go into the same archive: after 10000 files the four-digit sequence "
     "number starts again at 0000, so one run compresses at most 10000 files of the same "
     "extension field"},
    {"EJobBusy", "圧縮の実行中は新しい圧縮を開始できません",
     "A new run cannot start while files are being compressed"},
    {"EFCreateError", "ファイル %1 を作成できません", "Cannot create file %1"},
    {"EWriteError", "ストリームへの書き込みエラー", "Error writing to a stream"},
    {"ECp932Name", "ファイル %1 の名前はシフト JIS (CP932) で書けません",
     "The name of file %1 cannot be written in Shift-JIS (CP932)"},
    {"EVerifyError", "書庫 %1 の検証に失敗しました: %2",
     "Archive %1 failed verification: it does not read back as it was written",
     "An archive failed verification: it does not read back as it was written"},
    {"EInOutError", "I/O エラー (%1)", "I/O error (%1)"},
};

// A form split at its slots: literal texts and, between each two, the slot's number (1-based).
struct Form {
  std::vector<std::string_view> literals;
  std::vector<int> slots;
};

Form SplitForm(std::string_view form) {
  Form split;
  std::size_t start = 0;
  for (std::size_t at = 0; at + 1 < form.size(); ++at) {
    if (form[at] == '%' && form[at + 1] >= '1' && form[at + 1] <= '9') {
      split.literals.push_back(form.substr(start, at - start));
      split.slots.push_back(form[at + 1] - '0');
      start = at + 2;
      ++at;
    }
  }
  split.literals.push_back(form.substr(start));
  return split;
}

// How `text` splits into `form` from literal `literal` on. Counts the splits (stopping at two)
// and keeps the first in `first`; `values` is the work in progress (slot i's text at i - 1).
struct Splits {
  int count = 0;
  std::vector<std::string> first;
};

void FindSplits(const Form& form, std::size_t literal, std::string_view text,
                std::vector<std::string>& values, Splits& splits) {
  const std::string_view head = form.literals[literal];
  if (splits.count > 1 || !text.starts_with(head)) return;
  text.remove_prefix(head.size());
  if (literal == form.slots.size()) {
    if (text.empty() && splits.count++ == 0) splits.first = values;
    return;
  }
  const std::string_view next = form.literals[literal + 1];
  for (std::size_t at = text.find(next); at != std::string_view::npos;
       at = text.find(next, at + 1)) {
    values[static_cast<std::size_t>(form.slots[literal] - 1)] = std::string(text.substr(0, at));
    FindSplits(form, literal + 1, text.substr(at), values, splits);
  }
}

Splits SplitsOf(std::string_view form, std::string_view text) {
  std::vector<std::string> values(9);
  Splits splits;
  FindSplits(SplitForm(form), 0, text, values, splits);
  return splits;
}

std::string FillForm(std::string_view form, const std::vector<std::string>& values) {
  std::string text;
  for (std::size_t at = 0; at < form.size(); ++at) {
    if (form[at] == '%' && at + 1 < form.size() && form[at + 1] >= '1' && form[at + 1] <= '9') {
      text += values[static_cast<std::size_t>(form[at + 1] - '1')];
      ++at;
    } else {
      text += form[at];
    }
  }
  return text;
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

}  // namespace

void StartBatchLanguage() {
  TranslationSetup setup;
  setup.domain = "kelvarin";
  setup.build_program_dir = KELVARIN_BUILD_PROGRAM_DIR;
  setup.build_catalogues = KELVARIN_BUILD_CATALOGUES;
  setup.installed_catalogues = KELVARIN_INSTALLED_CATALOGUES;
  InitTranslation(setup);
}

bool ExplainInEnglish() { return TranslationLanguage() != TextLanguage::kJapanese; }

std::string TranslatedReasonText(const Reason& reason) {
  switch (reason.kind) {
    case Reason::kNone:
      return "";
    case Reason::kErrorNumber:
      if (const char* text = ErrorNumberText(reason.error_number)) return Translate(text);
      return Format(_("I/O error (%s)"), {std::to_string(reason.error_number)});
    case Reason::kChangedWhileRead:
      return _("the file changed while it was being read");
    case Reason::kNotRegularFile:
      return _("not a regular file");
  }
  return "";
}

std::string EnglishMeaning(const std::string& class_name, const std::string& message) {
  if (class_name == "EInOutError") {
    for (const NumberText& text : kErrorNumberTexts)
      if (message == EInOutError::MessageFor(text.number)) return Capitalised(text.english);
  }
  for (const Meaning& meaning : kMeanings) {
    if (class_name != meaning.class_name) continue;
    const Splits splits = SplitsOf(meaning.japanese, message);
    if (splits.count == 1) return FillForm(meaning.english, splits.first);
    if (splits.count > 1 && meaning.english_without_names) return meaning.english_without_names;
  }
  return "";
}

}  // namespace kel
