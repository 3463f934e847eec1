// One file of the archiving pass, on a builder of the caller's choosing, and the texts the
// pass shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kel {

class TZipBuilder;

// The status text after the last file: "圧縮が完了しました．" (fullwidth full stop).
extern const char* const kCompletionText;

// "(i/n)" with `index` the file just finished, counted from 0, and n = `file_count` - 1.
std::string ProgressText(int32_t index, int32_t file_count);

// Writes the archive `archive_path` holding `source_path` as its one entry, named relative to
// `base_dir` (the source's own directory, so the entry is the bare file name). Opens, adds and
// closes on `builder`; whatever these raise (EGZipError, EInOutError) passes through and leaves
// the archive as the builder left it, without its close. `after_open`, when given, runs right
// after the archive file was created (the batch front end notes its identity there).
void ArchiveFile(TZipBuilder& builder, const std::string& archive_path,
                 const std::string& source_path, const std::string& base_dir,
                 const std::function<void()>& after_open = {});

}  // namespace kel
