#include "job/archive_naming.h"

#include <cstdio>

#include "platform/code_page.h"

namespace kel {

namespace {
constexpr std::size_t kFieldWidth = 4;
}  // namespace

std::string SequenceField(int32_t sequence) {
  int value = static_cast<int>(sequence % 10000);
  if (value < 0) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", value);
    return digits;
  }
  // By hand: snprintf costs more than the rest of the name.
  std::string digits(kFieldWidth, '0');
  for (std::size_t i = kFieldWidth; i-- > 0 && value > 0; value /= 10)
    digits[i] = static_cast<char>('0' + value % 10);
  return digits;
}

std::string ExtensionField(std::string_view file_name, const PathSyntax& syntax) {
  const std::string extension = syntax.ExtractFileExt(file_name);
  std::string_view part;
  if (extension.size() > 1) part = std::string_view(extension).substr(1);
  part = LeadingWholeChars(part, kFieldWidth, syntax.code_page);
  return std::string(kFieldWidth - part.size(), '_') + std::string(part);
}

ArchiveName MakeArchiveName(int32_t sequence, std::string_view file_name,
                            const PathSyntax& syntax) {
  const std::string name = SequenceField(sequence) + ExtensionField(file_name, syntax) + ".zip";
  return {AnsiUpperCase(name, syntax.code_page), AnsiLowerCase(name, syntax.code_page)};
}

std::string IndexLine(const ArchiveName& name, std::string_view file_name,
                      const PathSyntax& syntax) {
  return name.listing + '\t' + syntax.ExtractBaseName(file_name);
}

}  // namespace kel
