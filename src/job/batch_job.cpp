#include "job/batch_job.h"

#include <iostream>
#include <vector>

#include "job/archive_naming.h"
#include "job/archive_step.h"
#include "job/folder_field.h"
#include "job/job_checks.h"
#include "job/job_errors.h"
#include "job/name_rules.h"
#include "job/name_text.h"
#include "job/own_temporaries.h"
#include "platform/file_info.h"
#include "search/search_file.h"
#include "zip/zip_builder.h"

namespace kel {

namespace {

constexpr const char* kIndexFileName = "files.txt";

// Points the builder at the run's output folder for the pass, and back at none afterwards: the
// folder is closed when the pass ends.
class OutputFolderScope {
 public:
  OutputFolderScope(TZipBuilder& builder, const OutputFolder& folder) : builder_(builder) {
    builder_.SetOutputFolder(&folder);
  }
  ~OutputFolderScope() { builder_.SetOutputFolder(nullptr); }
  OutputFolderScope(const OutputFolderScope&) = delete;
  OutputFolderScope& operator=(const OutputFolderScope&) = delete;

 private:
  TZipBuilder& builder_;
};

// IsOwnTemporary for an entry of any folder (the source folder may hold another run's
// temporaries when it is that run's output folder).
bool IsOwnTemporaryAt(const std::string& folder_path, const std::string& name) {
  int error_number = 0;
  const OutputFolder folder = OutputFolder::TryOpen(folder_path, error_number);
  return folder.IsOpen() && IsOwnTemporary(folder, name);
}

}  // namespace

// Marks a pass as running for its lifetime; a close that arrived meanwhile releases the lists
// only here, once nothing walks them any more.
class BatchJob::PassScope {
 public:
  explicit PassScope(BatchJob& job) : job_(job) { job_.pass_running_ = true; }
  ~PassScope() {
    job_.pass_running_ = false;
    job_.folder_ = OutputFolder();
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
  folder_ = OutputFolder();
  state_.Release();
}

void BatchJob::OpenOutputFolder() {
  int error_number = 0;
  OutputFolder folder = OutputFolder::TryOpen(output_folder_, error_number);
  if (!folder.IsOpen()) throw EInOutError(error_number);
  switch (folder.TryLock(error_number)) {
    case OutputFolder::LockState::kLocked:
      break;
    case OutputFolder::LockState::kBusy:
      throw EFolderBusy(output_folder_);
    case OutputFolder::LockState::kUnsupported:
      if (OnLockUnavailable) {
        OnLockUnavailable(output_folder_);
      } else {
        // "Folder X cannot be locked: another run writing into it at the same time is not
        // noticed, and temporaries left by a killed run stay."
        std::cerr << "フォルダ " << EscapedName(output_folder_)
                  << " はロックできないため、同時に書き込む別の圧縮を検出できません。"
                     "中断された圧縮の一時ファイルがあっても削除しません\n"
                  << std::flush;
      }
      break;
    case OutputFolder::LockState::kFailed:
      throw EInOutError(error_number);
  }
  folder_ = std::move(folder);
}

void BatchJob::Button1Click() {
  if (pass_running_) throw EJobBusy();
  if (!state_.Exists()) return;
  const std::string source = controls_.Edit1.Text();
  if (source.empty()) throw EFolderError(EFolderError::Kind::kNoSourceFolder, source);
  CheckFolderField(source, syntax_);
  const std::string output = controls_.Edit2.Text();
  if (output.empty()) throw EFolderError(EFolderError::Kind::kNoOutputFolder, output);
  CheckFolderField(output, syntax_);
  output_folder_ = FolderFieldText(output, syntax_);
  folder_ = OutputFolder();  // a start whose pass has not begun yet is superseded, not a rival
  OpenOutputFolder();
  try {
    // Under the lock no other run writes here: a temporary provably ours is a killed run's.
    // Without the lock it may be another run's live output; nothing is removed then.
    RemoveStaleTemporaries(folder_);
    state_.Clear();
    controls_.Panel1.SetText("");
    controls_.SearchFile1.Directory = source;
    controls_.SearchFile1.Execute();
    // A folder that could not be listed would make a run that looks complete of a part.
    const TSearchFile::TListingFailure& unlisted = controls_.SearchFile1.ListingFailure();
    if (!unlisted.Folder.empty())
      throw EFolderError(EFolderError::Kind::kUnlistable, unlisted.Folder,
                         Reason::FromErrorNumber(unlisted.ErrorNumber));
    CheckArchivePathsDistinct(state_);
    controls_.Timer1.SetInterval(kTimerPeriod);
  } catch (...) {
    folder_ = OutputFolder();
    throw;
  }
}

std::string BatchJob::OutputFolderPath() const {
  return output_folder_.empty() ? controls_.Edit2.Text() : output_folder_;
}

void BatchJob::SearchFile1Find(TSearchFile&, const std::string& Name, const TSearchFileData& Data,
                               bool&) {
  if (Data.IsDirectory) return;
  // A name the index and the archive cannot hold stops the run before anything is written.
  if (!Data.ExactName) throw ENameNotInCodePage(Name);
  // Asked of the name as listed, before any status call: on Windows a name with ":" would be
  // split as a path, and one with "*" or "?" cannot even be looked up.
  CheckFileName(Name, Data.FileName, syntax_);
  // Opening a FIFO would hang the pass and a device can be endless. The search's record says
  // what the entry was; a file that is something else by the time it is read fails by name.
  if (!Data.IsRegular) return;
  const std::string file_name = syntax_.ExtractFileName(Name);
  // A run's own temporaries are outputs in the making, never sources; a user's file that only
  // looks like one is collected as any other.
  if (HasOwnTemporaryName(file_name) && IsOwnTemporaryAt(syntax_.ExtractFilePath(Name), file_name))
    return;
  const ArchiveName name = MakeArchiveName(state_.FileCount, file_name, syntax_);
  state_.ListingLines->Add(IndexLine(name, file_name, syntax_));
  state_.ArchivePaths->Add(OutputFolderPath() + name.disk);
  state_.SourceFiles->Add(Name);
  ++state_.FileCount;
}

void BatchJob::Timer1Timer() {
  controls_.Timer1.SetInterval(0);
  if (!state_.Exists() || pass_running_) {
    if (!state_.Exists()) folder_ = OutputFolder();
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
  std::vector<std::string> targets;
  targets.reserve(state_.ArchivePaths->Count() + 1);
  for (const std::string& path : state_.ArchivePaths->Items())
    targets.push_back(syntax_.ExtractFileName(path));
  targets.push_back(kIndexFileName);
  CheckSourcesUntouched(*state_.SourceFiles, folder_, targets);
  if (archiver_ != nullptr) {
    RunPassThrough(*archiver_);
    return;
  }
  state_.ListingLines->SaveToFile(folder_, kIndexFileName);

  TZipBuilder& builder = DefaultZipBuilder();
  OutputFolderScope into(builder, folder_);
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

void BatchJob::RunPassThrough(PassArchiver& archiver) {
  std::vector<PassFile> files;
  files.reserve(static_cast<std::size_t>(state_.FileCount));
  for (int32_t i = 0; i < state_.FileCount; ++i) {
    const std::string& source = (*state_.SourceFiles)[i];
    files.push_back({(*state_.ArchivePaths)[i], source, syntax_.ExtractFilePath(source)});
  }
  archiver.CheckBeforeWriting(files);
  archiver.SaveIndex(*state_.ListingLines, folder_, kIndexFileName);
  archiver.ArchiveFiles(files, folder_, [this, &files](int32_t i) {
    current_source_dir_ = files[static_cast<std::size_t>(i)].base_dir;
    controls_.Panel1.SetText(ProgressText(i, state_.FileCount));
    controls_.Application.ProcessMessages();
    return !close_requested_;
  });
  if (close_requested_) return;
  controls_.Panel1.SetText(kCompletionText);
}

}  // namespace kel
