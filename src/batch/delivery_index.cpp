#include "batch/delivery_index.h"

#include <map>

#include "job/name_text.h"
#include "platform/code_page.h"

namespace kel {

namespace {

constexpr std::size_t kMaxIndexLine = 1024;
constexpr const char* kIndexName = "files.txt";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

Problem IndexProblem(CheckProblem kind, int line, std::string text = {}, uint64_t number = 0) {
  Problem p;
  p.kind = kind;
  p.subject = kIndexName;
  p.line = line;
  p.text = std::move(text);
  p.number = number;
  return p;
}

}  // namespace

bool IsArchiveName(const std::string& name) {
  if (name.size() != 12) return false;
  for (std::size_t i = 0; i < 4; ++i)
    if (!IsDigit(name[i])) return false;
  const std::string field = name.substr(4, 4), suffix = name.substr(8);
  if (suffix != ".zip" && suffix != ".ZIP") return false;
  for (char c : field)
    if (c == '.' || c == '/' || c == '\\') return false;
  // Bytes only: the field may end inside a character the name cut.
  return !HasControlCharacters(field, CodePage::kSingleByte);
}

ParsedIndex ParseIndex(const std::string& bytes,
                       const std::function<std::string(const std::string&)>& to_text) {
  ParsedIndex index;
  std::size_t at = 0;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    index.problems.push_back(IndexProblem(CheckProblem::kIndexByteOrderMark, 1));
    at = 3;
  }
  std::map<std::string, int> first_line;
  bool lf_reported = false;
  for (int number = 1; at < bytes.size(); ++number) {
    std::size_t end = bytes.find('\n', at);
    std::string line;
    if (end == std::string::npos) {
      index.problems.push_back(IndexProblem(CheckProblem::kIndexNoLineEnd, number));
      line = bytes.substr(at);
      end = bytes.size();
    } else {
      line = bytes.substr(at, end - at);
      if (line.ends_with('\r')) {
        line.pop_back();
      } else if (!lf_reported) {
        index.problems.push_back(IndexProblem(CheckProblem::kIndexLfLineEnd, number));
        lf_reported = true;
      }
    }
    at = end + 1;
    const std::size_t tab = line.find('\t');
    if (line.empty()) {
      index.problems.push_back(IndexProblem(CheckProblem::kIndexEmptyLine, number));
    } else if (line.size() > kMaxIndexLine) {
      index.problems.push_back(IndexProblem(CheckProblem::kIndexLongLine, number));
    } else if (tab == std::string::npos) {
      index.problems.push_back(IndexProblem(CheckProblem::kIndexNoTab, number));
    } else {
      const std::string listing = line.substr(0, tab);
      const std::string text = to_text(listing);
      // Checked in the program's text, where the run made the name (12 bytes there).
      if (!IsArchiveName(text) || AnsiUpperCase(text, SystemCodePage()) != text) {
        index.problems.push_back(IndexProblem(CheckProblem::kIndexBadArchiveName, number, text));
      } else if (const auto [it, fresh] = first_line.emplace(text, number); !fresh) {
        index.problems.push_back(
            IndexProblem(CheckProblem::kIndexDuplicate, number, text, it->second));
      } else {
        const std::string raw_base = line.substr(tab + 1);
        index.entries.push_back({number, text, to_text(raw_base), raw_base});
      }
    }
  }
  return index;
}

std::vector<Problem> ShortNameProblems(const std::string& subject, const std::string& name) {
  std::vector<Problem> problems;
  const std::size_t dot = name.find('.');
  const bool short_name = dot != std::string::npos
                              ? dot >= 1 && dot <= 8 && name.size() - dot - 1 <= 3 &&
                                    name.find('.', dot + 1) == std::string::npos
                              : !name.empty() && name.size() <= 8;
  Problem p;
  p.subject = subject;
  p.text = name;
  if (!short_name) {
    p.kind = CheckProblem::kNotShortName;
    problems.push_back(p);
    return problems;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool allowed =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '_' || i == dot;
    if (!allowed) {
      p.kind = CheckProblem::kNotIso9660;
      problems.push_back(p);
      break;
    }
  }
  return problems;
}

}  // namespace kel
