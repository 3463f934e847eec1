// The batch job's handlers: the start action that collects the source folder's files, the
// per-entry handler that names them, and the archiving pass that the timer's tick runs. The
// window binds them to its events; the batch front end drives them the same way.
//
// Input during a pass: the pass calls the host's message step between files, so the start
// action and the close handler can run nested inside it. The start action is refused then
// (EJobBusy) and the lists stay as the pass needs them. Closing ends the pass after the file in
// hand, and the lists are released once the pass has returned.
//
// The output folder is opened once, by the start action (OutputFolder), and held until the pass
// has ended, however it ends: the index, the archives, their clean-up and the listing of
// outputs all go to the folder that was checked and locked, even if its path is moved or
// pointed elsewhere meanwhile. One run at a time per output folder: a second run into the
// same folder, from this program or another, is refused (EFolderBusy). Under the lock, the
// temporaries a killed run left there (only those provably this program's) are removed before
// the files are collected; where the file system cannot lock the folder, the run goes on with
// a warning and removes none.
#pragma once

#include <functional>
#include <string>

#include "job/job_host.h"
#include "job/job_state.h"
#include "job/pass_archiver.h"
#include "platform/output_folder.h"
#include "platform/path_syntax.h"

namespace kel {

class TSearchFile;
struct TSearchFileData;

class BatchJob {
 public:
  // The period at which the start action arms the timer, in milliseconds.
  static constexpr int kTimerPeriod = 100;

  // `state` and the objects `controls` refers to must outlive the job. `syntax` splits paths
  // and gives the code page of names.
  BatchJob(JobState& state, JobControls controls, PathSyntax syntax = PathSyntax::Native());
  BatchJob(const BatchJob&) = delete;
  BatchJob& operator=(const BatchJob&) = delete;

  // Window creation: creates the three lists.
  void FormCreate();
  // Window close: releases the three lists, or, during a pass, asks the pass to end after the
  // current file and leaves the release to it.
  void FormClose();

  // The start action: checks the two folder fields (Edit1 an existing folder; Edit2 not empty
  // and an existing folder, taken with a separator added as the folder buttons add it), opens
  // and locks the output folder and clears it of stale temporaries, then empties the state,
  // clears the panel, searches the folder in Edit1 (the text unchanged) and arms the timer.
  // Raises EJobBusy during a pass, EFolderError or EFolderBusy before anything changes
  // (EInOutError when the output folder cannot be opened), EFolderError (kUnlistable, with the
  // reason) when a folder of the search could not be listed, ENameClash when two files would
  // share an archive path (timer not armed, state as collected, folder released); exceptions of
  // the search (those of SearchFile1Find among them) and the timer pass through, with the
  // folder released. Does nothing once the lists are released.
  void Button1Click();

  // OnFind of SearchFile1: every regular file (also through a link) gets the next number, its
  // index line, archive path (the output folder of the start action, or Edit2's text when the
  // handler runs outside one, followed by the archive name) and source path. The kind is the
  // search's record's, looked up once: what it says is a folder or no regular file (FIFOs,
  // sockets, devices, dangling links) is passed over, as are this program's provable
  // temporaries (IsOwnTemporary); a name that merely looks like one is collected. Continue is
  // left as it is. Raises ENameNotInCodePage for a file whose name has no exact form in the
  // run's code page (Windows), and EBadFileName or EBadNameCharacter for an entry other than a
  // folder whose name CheckFileName refuses; either ends the start action before anything is
  // written.
  void SearchFile1Find(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& Continue);

  // The archiving pass, run by the timer's tick: stops the timer; re-arms it and returns while
  // the search is busy; otherwise saves the sorted index as "files.txt" in the output folder
  // of the start action (the folder that is locked and that the archives go to) and archives
  // every collected file in collection order through the default zip builder (or the archiver
  // set by SetArchiver), showing ProgressText after each and kCompletionText at the end.
  // Raises ESourceOverwrite (nothing written) when a source file would be written over,
  // EFCreateError/EWriteError from the index (no archive written), and whatever the builder
  // raises (earlier archives complete; the failing file's and later ones not written, except
  // those an archiver had already begun). The output folder's lock is released when the pass
  // ends. Does nothing once the lists are released.
  void Timer1Timer();

  // Lets `archiver` write the index and the archives of later passes instead of the default
  // builder (nullptr: the window's file-by-file pass). The sort, the overwrite checks, the
  // progress texts, the message step and the completion text stay the pass's own; the
  // progress text of file i follows as soon as files 0..i are done. `archiver` must outlive
  // the passes it runs.
  void SetArchiver(PassArchiver* archiver) { archiver_ = archiver; }

  // The directory part of the file being archived (or last archived).
  const std::string& CurrentSourceDir() const { return current_source_dir_; }
  bool PassRunning() const { return pass_running_; }
  JobState& State() const { return state_; }

  // Called with the output folder when its file system cannot lock a folder; the run goes on
  // without the lock. By default a warning in the system's language goes to standard error.
  std::function<void(const std::string& folder)> OnLockUnavailable;

 private:
  class PassScope;
  void RunPass();
  void RunPassThrough(PassArchiver& archiver);
  std::string OutputFolderPath() const;
  void OpenOutputFolder();

  JobState& state_;
  JobControls controls_;
  PathSyntax syntax_;
  std::string current_source_dir_;
  bool pass_running_ = false;
  bool close_requested_ = false;
  PassArchiver* archiver_ = nullptr;
  std::string output_folder_;  // Edit2 as the start action checked it, with its separator
  OutputFolder folder_;        // held (and locked) from the start action to the end of its pass
};

}  // namespace kel
