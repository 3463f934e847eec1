#include "job/batch_job.h"

#include <iostream>
#include <vector>

#include "job/archive_naming.h"
#include "job/archive_step.h"
#include "job/folder_field.h"
#include "job/job_checks.h"
#include "job/job_errors.h"
#include "job/name_text.h"
#include "platform/file_info.h"
#include "platform/output_file.h"
#include "search/search_file.h"
#include "zip/zip_builder.h"

namespace kel {

namespace {
constexpr const char* kIndexFileName = "files.txt";
}  // namespace

// Marks a pass as running for its lifetime; a close that arrived meanwhile releases the lists
// only here, once nothing walks them any more.
class BatchJob::PassScope {
 public:
  explicit PassScope(BatchJob& job) : job_(job) { job_.pass_running_ = true; }
  ~PassScope() {
    job_.pass_running_ = false;
    job_.lock_ = FolderLock();
    if (job_.close_requested_) job_.state_.Release();
  }
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

 private:
  BatchJob& job_;
};

BatchJob::BatchJob(JobState& state, JobControls controls, PathSyntax syntax)
    : state_(state), controls_(controls), syntax_(syntax) {}

void BatchJob::FormCreate() {
  close_requested_ = false;
  state_.Create();
}

void BatchJob::FormClose() {
  if (pass_running_) {
    close_requested_ = true;
    return;
  }
  lock_ = FolderLock();
  state_.Release();
}

void BatchJob::LockOutputFolder() {
  FolderLock lock = FolderLock::TryAcquire(output_folder_);
  switch (lock.GetState()) {
    case FolderLock::State::kLocked:
      break;
    case FolderLock::State::kBusy:
      throw EFolderBusy(output_folder_);
    case FolderLock::State::kUnsupported:
      if (OnLockUnavailable) {
        OnLockUnavailable(output_folder_);
      } else {
        // "Folder X cannot be locked: another run writing into it at the same time is not
        // noticed."
        std::cerr << "フォルダ " << EscapedName(output_folder_)
                  << " はロックできないため、同時に書き込む別の圧縮を検出できません\n"
                  << std::flush;
      }
      break;
    case FolderLock::State::kFailed: {
      EInOutError error(lock.ErrorNumber());
      error.SetReasonPath(output_folder_);
      throw error;
    }
  }
  lock_ = std::move(lock);
}

void BatchJob::Button1Click() {
  if (pass_running_) throw EJobBusy();
  if (!state_.Exists()) return;
  // A start that is refused must not leave the last run's completion text standing.
  controls_.Panel1.SetText("");
  const std::string source = controls_.Edit1.Text();
  if (source.empty()) throw EFolderError(EFolderError::Kind::kNoSourceFolder, source);
  CheckFolderField(source, syntax_);
  const std::string output = controls_.Edit2.Text();
  if (output.empty()) throw EFolderError(EFolderError::Kind::kNoOutputFolder, output);
  CheckFolderField(output, syntax_);
  output_folder_ = FolderFieldText(output, syntax_);
  lock_ = FolderLock();  // a start whose pass has not begun yet is superseded, not a rival
  LockOutputFolder();
  try {
    // Under the lock no other run writes here: whatever temporary is left is a killed run's.
    RemoveStaleTemporaries(output_folder_);
    state_.Clear();
    controls_.SearchFile1.Directory = source;
    controls_.SearchFile1.Execute();
    CheckArchivePathsDistinct(state_);
    CheckFileNames(*state_.SourceFiles, syntax_);
    controls_.Timer1.SetInterval(kTimerPeriod);
  } catch (...) {
    lock_ = FolderLock();
    throw;
  }
}

std::string BatchJob::OutputFolder() const {
  return output_folder_.empty() ? controls_.Edit2.Text() : output_folder_;
}

void BatchJob::SearchFile1Find(TSearchFile&, const std::string& Name, const TSearchFileData& Data,
                               bool&) {
  if (Data.IsDirectory) return;
  // A name the index and the archive cannot hold stops the run before anything is written.
  if (!Data.ExactName) throw ENameNotInCodePage(Name);
  // Opening a FIFO would hang the pass and a device can be endless.
  if (!IsRegularFile(Name)) return;
  const std::string file_name = syntax_.ExtractFileName(Name);
  // A run's own temporaries are outputs in the making, never sources.
  if (IsTemporaryName(file_name)) return;
  const ArchiveName name = MakeArchiveName(state_.FileCount, file_name, syntax_);
  state_.ListingLines->Add(IndexLine(name, file_name, syntax_));
  state_.ArchivePaths->Add(OutputFolder() + name.disk);
  state_.SourceFiles->Add(Name);
  ++state_.FileCount;
}

void BatchJob::Timer1Timer() {
  controls_.Timer1.SetInterval(0);
  if (!state_.Exists() || pass_running_) {
    if (!state_.Exists()) lock_ = FolderLock();
    return;
  }
  if (controls_.SearchFile1.Busy()) {
    controls_.Timer1.SetInterval(kTimerPeriod);
    return;
  }
  PassScope scope(*this);
  RunPass();
}

void BatchJob::RunPass() {
  state_.ListingLines->Sort();
  const std::string index_path = OutputFolder() + kIndexFileName;
  std::vector<std::string> targets = state_.ArchivePaths->Items();
  targets.push_back(index_path);
  CheckSourcesUntouched(*state_.SourceFiles, targets);
  if (archiver_ != nullptr) {
    RunPassThrough(*archiver_, index_path);
    return;
  }
  state_.ListingLines->SaveToFile(index_path);

  TZipBuilder& builder = DefaultZipBuilder();
  const int32_t count = state_.FileCount;
  for (int32_t i = 0; i < count; ++i) {
    const std::string& source = (*state_.SourceFiles)[i];
    current_source_dir_ = syntax_.ExtractFilePath(source);
    ArchiveFile(builder, (*state_.ArchivePaths)[i], source, current_source_dir_);
    controls_.Panel1.SetText(ProgressText(i, state_.FileCount));
    controls_.Application.ProcessMessages();
    if (close_requested_) return;
  }
  controls_.Panel1.SetText(kCompletionText);
}

void BatchJob::RunPassThrough(PassArchiver& archiver, const std::string& index_path) {
  std::vector<PassFile> files;
  files.reserve(static_cast<std::size_t>(state_.FileCount));
  for (int32_t i = 0; i < state_.FileCount; ++i) {
    const std::string& source = (*state_.SourceFiles)[i];
    files.push_back({(*state_.ArchivePaths)[i], source, syntax_.ExtractFilePath(source)});
  }
  archiver.CheckBeforeWriting(files);
  archiver.SaveIndex(*state_.ListingLines, index_path);
  const bool all_archived = archiver.ArchiveFiles(files, [this, &files](int32_t i) {
    current_source_dir_ = files[static_cast<std::size_t>(i)].base_dir;
    controls_.Panel1.SetText(ProgressText(i, state_.FileCount));
    controls_.Application.ProcessMessages();
    return !close_requested_;
  });
  if (close_requested_) return;
  if (!all_archived) {
    // The index must not send the recipient looking for archives that were never written.
    archiver.SaveIndex(ExistingArchiveLines(), index_path);
    return;
  }
  controls_.Panel1.SetText(kCompletionText);
}

TStringList BatchJob::ExistingArchiveLines() const {
  TStringList lines;
  for (int32_t i = 0; i < state_.FileCount; ++i) {
    if (!IsRegularFile((*state_.ArchivePaths)[i])) continue;
    const std::string file_name = syntax_.ExtractFileName((*state_.SourceFiles)[i]);
    lines.Add(IndexLine(MakeArchiveName(i, file_name, syntax_), file_name, syntax_));
  }
  lines.Sort();
  return lines;
}

}  // namespace kel
