// The archiving pass of kelvarin-batch: the window's pass, optionally on several threads, with
// verification, skipping of failed files and CP932 names.
//
// With one job the files are archived one after the other on the calling thread through the
// default zip builder, as the window's pass does. With more, each worker thread has a builder of
// its own and takes the next file in file order; the pass's thread reports file i as soon as
// files 0..i are all done, so progress and outcome come in file order whatever the threads do.
// The archives are the same bytes either way: a file's archive depends only on the file. With
// block deflate, the threads that are free deflate blocks of big files before they take the
// next file; a run on the calling thread deflates the same blocks one after the other.
//
// A failure (without keep_going): no further file is handed out, files already begun are
// finished, and the failure of the earliest failing file is raised - the one a file-by-file
// pass stops at. Every file before it then has its complete archive, as in a serial run; unlike
// a serial run, archives of later files that were being written at the same time exist too.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "job/pass_archiver.h"
#include "platform/path_syntax.h"
#include "zip/zip_builder.h"

namespace kel {

class WorkQueue;

struct ArchiverSettings {
  int jobs = 1;             // files archived at once; 1 = on the calling thread
  bool verify = false;      // read every archive back after its close (VerifyArchive)
  bool keep_going = false;  // a file that fails is skipped (it leaves no archive, as always)
  NameEncoding encoding = NameEncoding::kFileSystem;  // entry names and the index
  PathSyntax syntax = PathSyntax::Native();
  // Files of at least this many bytes are deflated in blocks on all the jobs' threads
  // (zip/block_deflate.h); 0: never, every file on one thread with the window's bytes.
  uint64_t block_deflate_from = 0;
  // Asked between files and between blocks of a file: true ends the pass at its next safe
  // point with EAbort (the file in hand leaves no archive; finished ones stay). Thread-safe.
  std::function<bool()> stop_requested;
  // Test seam: runs right after archive `index` is closed and before it is verified, on the
  // thread that wrote it. An exception it raises counts as that file's failure.
  std::function<void(int32_t index, const std::string& archive_path)> after_close;
};

// Progress for a display, updated by whichever thread archives; read at any time.
struct PassCounters {
  std::atomic<uint64_t> bytes_done{0};  // source bytes compressed so far
  std::atomic<int32_t> files_done{0};   // files finished (archived or skipped), any order
  std::atomic<int32_t> current{-1};     // the earliest file not finished yet
};

// A file skipped under keep_going and why: the error display's message of its failure.
struct SkippedFile {
  int32_t index = 0;
  std::string source_path;
  std::string kind;  // the failure's class (Exception::ClassName)
  std::string message;
  Reason reason;
};

class BatchArchiver : public PassArchiver {
 public:
  explicit BatchArchiver(ArchiverSettings settings);

  // With CP932 names: raises ECp932Name for the first file whose name has no CP932 form.
  void CheckBeforeWriting(const std::vector<PassFile>& files) override;
  // Saves the lines, in CP932 when so set.
  void SaveIndex(const TStringList& lines, const OutputFolder& folder,
                 const std::string& name) override;
  // See the top of this file. Raises EGZipError, EInOutError, EVerifyError or whatever the
  // after_close seam raised, for the earliest failing file; with keep_going only what is no
  // file's own failure (EAbort, out of memory). A failed file leaves no archive: what stands at
  // its archive name is removed when it is a regular file or a link (RemoveFailedOutput),
  // unless the failure was that this very entry could not be replaced. True when no file
  // was skipped.
  bool ArchiveFiles(const std::vector<PassFile>& files, const OutputFolder& folder,
                    const PassFileDone& done) override;

  // Runs on the pass's thread about ten times a second while files are being archived (more
  // often with one job, where the display decides whether to redraw).
  std::function<void()> OnTick;
  // Runs on the pass's thread for each skipped file, in file order, before its `done` call.
  std::function<void(const SkippedFile&)> OnSkip;

  const PassCounters& Counters() const { return counters_; }
  const std::vector<SkippedFile>& Skipped() const { return skipped_; }
  // Archives this pass has completed, in any order: after an interrupted parallel pass, also
  // those of files after the last one reported.
  int32_t Archived() const { return archived_.load(); }

 private:
  struct Outcome;
  void Configure(TZipBuilder& builder, WorkQueue& blocks, bool on_pass_thread);
  bool StopRequested() const;
  Outcome Archive(TZipBuilder& builder, const PassFile& file, int32_t index);
  // Reports a finished file in order; false when the pass is to stop.
  bool Settle(Outcome& outcome, int32_t index, const std::string& source, const PassFileDone& done);
  void ArchiveHere(const std::vector<PassFile>& files, const PassFileDone& done);
  void ArchiveOnWorkers(const std::vector<PassFile>& files, const PassFileDone& done, int workers);

  ArchiverSettings settings_;
  const OutputFolder* folder_ = nullptr;  // the pass's output folder, during ArchiveFiles
  PassCounters counters_;
  std::vector<SkippedFile> skipped_;
  std::atomic<int32_t> archived_{0};
};

}  // namespace kel
