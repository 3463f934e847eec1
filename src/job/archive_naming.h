// The generated archive names and the index lines of "files.txt".
//
// An archive name is exactly 12 bytes: a 4-digit sequence field, a 4-byte extension field
// right-aligned and filled on the left with "_", then ".zip" (0000docx.zip, 0012___b.zip). The
// listing form (upper case) goes into the index, the disk form (lower case) names the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path_syntax.h"

namespace kel {

struct ArchiveName {
  std::string listing;  // 0000DOCX.ZIP
  std::string disk;     // 0000docx.zip
};

// The last 4 digits of `sequence` (0 -> "0000", 12 -> "0012", 10000 -> "0000", 12345 ->
// "2345"). `sequence` must not be negative.
std::string SequenceField(int32_t sequence);

// The extension field of `file_name`: the longest run of whole characters within the first 4
// bytes after the extension's dot, filled on the left with "_" to 4 bytes. Never splits a
// multi-byte character, so the field is always 4 bytes ("日本語.テキスト" in UTF-8 -> "_テ").
std::string ExtensionField(std::string_view file_name, const PathSyntax& syntax);

// Both forms of the archive name of the file `file_name` (a bare name, no folder) numbered
// `sequence`. Case conversion keeps the byte length, so both forms are 12 bytes.
ArchiveName MakeArchiveName(int32_t sequence, std::string_view file_name, const PathSyntax& syntax);

// One line of "files.txt" without its line end: the listing form, a TAB, the base name.
std::string IndexLine(const ArchiveName& name, std::string_view file_name,
                      const PathSyntax& syntax);

}  // namespace kel
