// How the archiving pass writes its outputs, for a host that wants more than the window's pass:
// the batch front end compresses on several threads, verifies, skips failed files or writes
// legacy names through one of these. The window's pass uses none (see BatchJob::SetArchiver).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kel {

class OutputFolder;
class TStringList;

// File i of a pass: its archive, its source and the base directory its entry is named against
// (the source's own directory, so the entry is the bare file name).
struct PassFile {
  std::string archive_path;
  std::string source_path;
  std::string base_dir;
};

// Called on the pass's thread, in file order, once file i and every file before it are done.
// False asks the archiver to start no further file and return.
using PassFileDone = std::function<bool(int32_t index)>;

class PassArchiver {
 public:
  virtual ~PassArchiver() = default;

  // Runs after the pass's overwrite checks and before anything is written; may refuse the run
  // by raising (nothing has been written then).
  virtual void CheckBeforeWriting(const std::vector<PassFile>& files) = 0;

  // Writes the sorted index lines to the entry `name` of the run's output folder `folder`;
  // raises what TStringList::SaveToFile raises.
  virtual void SaveIndex(const TStringList& lines, const OutputFolder& folder,
                         const std::string& name) = 0;

  // Writes the archive of every file of `files` into `folder` (the run's output folder, which
  // the archive paths name) and calls `done` for each as described above. Raises the failure of
  // the earliest failing file (the one a file-by-file pass would stop at); every file before it
  // has its complete archive then.
  virtual void ArchiveFiles(const std::vector<PassFile>& files, const OutputFolder& folder,
                            const PassFileDone& done) = 0;
};

}  // namespace kel
