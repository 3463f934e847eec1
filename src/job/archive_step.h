// One file of the archiving pass, on a builder of the caller's choosing, and the texts the
// pass shows.
#pragma once

#include <cstdint>
#include <string>

namespace kel {

class TZipBuilder;

// The status text after the last file: "圧縮が完了しました．" (fullwidth full stop).
extern const char* const kCompletionText;

// "(i/n)" with `index` the file just finished, counted from 0, and n = `file_count` - 1.
std::string ProgressText(int32_t index, int32_t file_count);

// Writes the archive `archive_path` holding `source_path` as its one entry, named relative to
// `base_dir` (the source's own directory, so the entry is the bare file name). Opens, adds and
// closes on `builder`; whatever these raise (EGZipError, EInOutError, EAbort from a progress
// handler) passes through after the builder discarded the archive: nothing is left at
// `archive_path` then, neither a part of this archive nor an older one of the same name.
void ArchiveFile(TZipBuilder& builder, const std::string& archive_path,
                 const std::string& source_path, const std::string& base_dir);

}  // namespace kel
