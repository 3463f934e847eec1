#include "batch/batch_run.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <ostream>

#include "batch/batch_archiver.h"
#include "batch/batch_language.h"
#include "batch/progress_display.h"
#include "batch/text_format.h"
#include "job/batch_job.h"
#include "job/folder_field.h"
#include "job/job_errors.h"
#include "job/name_text.h"
#include "platform/code_page.h"
#include "platform/error_text.h"
#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "platform/interrupt_watch.h"
#include "platform/translation.h"
#include "search/search_file.h"

namespace kel {

namespace {

class FixedField : public FolderField {
 public:
  explicit FixedField(std::string text) : text_(std::move(text)) {}
  std::string Text() const override { return text_; }

 private:
  std::string text_;
};

// Nothing else waits for the event loop here, so an armed timer's tick is due at once; the
// driver below runs it as soon as the handler that armed it has returned.
class ImmediateTimer : public JobTimer {
 public:
  int Interval() const override { return interval_; }
  void SetInterval(int milliseconds) override { interval_ = milliseconds; }

 private:
  int interval_ = 0;
};

// Standard output as the run watches it: a reader that has gone stops the run as SIGPIPE
// would; any other failed write is noted, and the archiving goes on.
class OutputWatch {
 public:
  OutputWatch(std::ostream& out, std::function<bool()> reader_gone)
      : out_(out), reader_gone_(std::move(reader_gone)) {}

  // After writes to `out`, on the run's thread.
  void Check() {
    if (out_.good() || gone_.load()) return;
    if (reader_gone_ && reader_gone_()) {
      gone_.store(true);
    } else {
      failed_ = true;
    }
    out_.clear();  // later texts are tried again; the failure stays noted
  }
  // Asked from any thread.
  bool ReaderGone() const { return gone_.load(); }
  bool Failed() const { return failed_; }

 private:
  std::ostream& out_;
  std::function<bool()> reader_gone_;
  std::atomic<bool> gone_{false};
  bool failed_ = false;
};

// The pass's message step: the time to look at what the file's progress text did to `out`.
class OutputCheckStep : public MessagePump {
 public:
  explicit OutputCheckStep(OutputWatch& watch) : watch_(watch) {}
  void ProcessMessages() override { watch_.Check(); }

 private:
  OutputWatch& watch_;
};

// The window's close handler runs however the run ends.
class CloseOnExit {
 public:
  explicit CloseOnExit(BatchJob& job) : job_(job) {}
  ~CloseOnExit() { job_.FormClose(); }
  CloseOnExit(const CloseOnExit&) = delete;
  CloseOnExit& operator=(const CloseOnExit&) = delete;

 private:
  BatchJob& job_;
};

std::string ErrorText(const std::string& message) {
  return MessageWithPeriod(message, SystemCodePage());
}

// A failure as the run reports it: the system's message, its class and why.
struct Failure {
  const std::string& kind;
  const std::string& message;
  const Reason& reason;
};

// The error display's text and, on the same line, "(PATH: REASON)" where they are known (the
// reason in the run's language); control characters (of a folder's name, say) shown escaped so
// they cannot move the terminal's cursor.
std::string ErrorLine(const Failure& failure) {
  std::string line = ErrorText(failure.message);
  const std::string why =
      ReasonLine(failure.message, failure.reason, TranslatedReasonText(failure.reason));
  if (!why.empty()) line += " (" + why + ")";
  return EscapedName(line);
}

// With `english`, the line that goes below a Japanese message of the system's to say in English
// what it means, indented under the line that holds the message (which starts with `indent`);
// else, and for other messages, nothing.
std::string EnglishNote(const Failure& failure, bool english, const std::string& indent) {
  if (!english) return "";
  const std::string meaning = EnglishMeaning(failure.kind, failure.message);
  if (meaning.empty()) return "";
  return indent + "  In English: " + EscapedName(meaning) + ".\n";
}


ArchiverSettings ArchiverSettingsOf(const BatchSettings& s, const PathSyntax& syntax,
                                    const OutputWatch& output) {
  ArchiverSettings a;
  a.jobs = s.jobs;
  a.verify = s.verify;
  a.keep_going = s.keep_going;
  a.encoding = s.encoding;
  a.syntax = syntax;
  a.after_close = s.after_close;
  if (s.parallel_deflate) a.block_deflate_from = std::max<uint64_t>(s.parallel_deflate_from, 1);
  a.stop_requested = [signal = s.interrupt_signal, &output] {
    return (signal && signal() != 0) || output.ReaderGone();
  };
  return a;
}

// The source bytes of the collected files, for the display's byte count.
uint64_t CollectedBytes(const JobState& state) {
  uint64_t total = 0;
  for (const std::string& source : state.SourceFiles->Items())
    if (const auto status = QueryFileStatus(source)) total += status->size;
  return total;
}

Failure FailureOf(const SkippedFile& file) { return {file.kind, file.message, file.reason}; }

// "N files were archived; M files could not be archived:" and the skipped files.
void PrintSummary(const BatchArchiver& archiver, bool english, std::ostream& err) {
  const auto& skipped = archiver.Skipped();
  const auto archived = static_cast<unsigned long>(archiver.Archived());
  // TRANSLATORS: the two parts of one line: "4 files were archived; 1 file could not be
  // archived:" or "4 files were archived; none was skipped".
  err << Format(P_("%s file was archived", "%s files were archived", archived),
                {std::to_string(archived)});
  if (skipped.empty()) {
    err << _("; none was skipped\n");
  } else {
    err << Format(P_("; %s file could not be archived:\n", "; %s files could not be archived:\n",
                     skipped.size()),
                  {std::to_string(skipped.size())});
    for (const SkippedFile& file : skipped) {
      const Failure failure = FailureOf(file);
      err << "  " << EscapedName(file.source_path) << ": " << ErrorLine(failure) << '\n'
          << EnglishNote(failure, english, "  ");
    }
  }
  err << std::flush;
}

// The status display: the terminal's status line, or a line per status text.
class Display {
 public:
  Display(const BatchSettings& settings, std::ostream& out, const BatchArchiver& archiver,
          const JobState& state, const PathSyntax& syntax) {
    if (!settings.terminal) {
      lines_ = std::make_unique<LinePanel>(out);
      return;
    }
    auto facts = [&archiver, &state, this, syntax] {
      const PassCounters& c = archiver.Counters();
      ProgressFacts f;
      f.files = state.FileCount;
      f.files_done = c.files_done.load();
      f.bytes = total_bytes_;
      f.bytes_done = c.bytes_done.load();
      const int32_t current = c.current.load();
      if (current >= 0 && current < state.FileCount && state.SourceFiles)
        f.current_name = syntax.ExtractFileName((*state.SourceFiles)[current]);
      return f;
    };
    terminal_ =
        std::make_unique<TerminalPanel>(out, facts, settings.terminal_columns, syntax.code_page);
  }

  StatusPanel& Panel() { return terminal_ ? static_cast<StatusPanel&>(*terminal_) : *lines_; }

  // Once the files are collected: the terminal's line starts counting `state`'s bytes.
  void Start(const JobState& state) {
    if (!terminal_) return;
    total_bytes_ = CollectedBytes(state);
    terminal_->Start();
  }

  void Tick() {
    if (terminal_) terminal_->Tick();
    if (lines_) lines_->Tick();
  }

  // Before anything goes to stderr: the status line off the terminal, or the waiting progress
  // lines out, so that a log of both streams keeps their order.
  void BeforeError() {
    if (terminal_) terminal_->Clear();
    if (lines_) lines_->Flush();
  }

 private:
  std::unique_ptr<TerminalPanel> terminal_;
  std::unique_ptr<LinePanel> lines_;
  uint64_t total_bytes_ = 0;
};

// The line that says where an interrupted run stopped; the exit status.
int Stopped(int signal_number, const BatchArchiver& archiver, const JobState& state,
            std::ostream& err) {
  const auto files = static_cast<unsigned long>(state.FileCount);
  // TRANSLATORS: the signal's name (SIGINT), files archived, files collected.
  err << Format(P_("Stopped by %1$s: %2$s of %3$s file archived; no half-written archive was "
                   "left\n",
                   "Stopped by %1$s: %2$s of %3$s files archived; no half-written archive was "
                   "left\n",
                   files),
                {InterruptWatch::SignalName(signal_number), std::to_string(archiver.Archived()),
                 std::to_string(files)})
      << std::flush;
  return 128 + signal_number;
}

}  // namespace

std::string ErrorLines(const Exception& e, bool english) {
  const std::string kind = e.ClassName();
  const Failure failure{kind, e.Message(), e.GetReason()};
  return ErrorLine(failure) + '\n' + EnglishNote(failure, english, "");
}

std::string ResolvedFolder(const std::string& folder) {
  if (const auto resolved = ResolveExistingPath(folder)) {
    if (DirectoryExists(*resolved)) return *resolved;
    throw EFolderError(EFolderError::Kind::kNotAFolder, folder);
  }
  // A folder that is there but cannot be resolved lies deeper than a full path can reach (a
  // relative one under a deep working folder): saying it is missing would send the user looking
  // for the wrong fault.
  if (DirectoryExists(folder)) throw EFolderError(EFolderError::Kind::kPathTooLong, folder);
  throw EFolderError(EFolderError::Kind::kNotFound, folder);
}

BatchSettings SettingsFor(const BatchOptions& options) {
  BatchSettings settings;
  settings.source = options.source;
  settings.output = options.output;
  settings.jobs = EffectiveJobs(options.jobs);
  settings.verify = options.verify;
  settings.keep_going = options.keep_going;
  settings.parallel_deflate = options.parallel_deflate;
  settings.encoding = PlanEncoding(options.encoding).names;
  settings.english_notes = ExplainInEnglish();
  return settings;
}

int RunBatch(const BatchSettings& settings, std::ostream& out, std::ostream& err) {
  std::string source;
  std::string output;
  try {
    source = ResolvedFolder(settings.source);
    output = ResolvedFolder(settings.output);
  } catch (const Exception& e) {
    err << ErrorLines(e, settings.english_notes) << std::flush;
    return 1;
  }
  const PathSyntax syntax = PathSyntax::Native();
  if (settings.encoding == NameEncoding::kCp932 && syntax.code_page != CodePage::kUtf8) {
    err << ErrorText(_("CP932 names can only be written under a UTF-8 locale")) << '\n'
        << std::flush;
    return 1;
  }
  OutputWatch watch(out, settings.output_reader_gone);
  BatchArchiver archiver(ArchiverSettingsOf(settings, syntax, watch));
  JobState state;
  Display display(settings, out, archiver, state, syntax);
  archiver.OnTick = [&display, &watch] {
    display.Tick();
    watch.Check();
  };
  archiver.OnSkip = [&display, &err, &settings](const SkippedFile& file) {
    display.BeforeError();
    const Failure failure = FailureOf(file);
    err << Format(_("File %s was skipped: %s"), {EscapedName(file.source_path), ErrorLine(failure)})
        << '\n'
        << EnglishNote(failure, settings.english_notes, "") << std::flush;
  };

  FixedField edit1(FolderFieldText(source, syntax));
  FixedField edit2(FolderFieldText(output, syntax));
  ImmediateTimer timer;
  OutputCheckStep messages(watch);
  TSearchFile search(syntax);
  BatchJob job(state, JobControls{edit1, edit2, display.Panel(), timer, messages, search}, syntax);
  job.SetArchiver(&archiver);
  search.OnFind = [&job](TSearchFile& sender, const std::string& name, const TSearchFileData& data,
                         bool& go_on) { job.SearchFile1Find(sender, name, data, go_on); };
  job.OnLockUnavailable = [&display, &err](const std::string& folder) {
    display.BeforeError();
    const std::string text = Format(_("Folder %s cannot be locked: another run writing into it "
                                      "at the same time would go unnoticed, and temporaries "
                                      "left by an interrupted run, if any, stay"),
                                    {folder});
    err << EscapedName(ErrorText(text)) << '\n' << std::flush;
  };

  job.FormCreate();
  CloseOnExit close(job);
  try {
    job.Button1Click();
    if (settings.after_collection) settings.after_collection();
    display.Start(state);
    while (timer.Interval() > 0) job.Timer1Timer();
  } catch (const EAbort&) {
    display.BeforeError();
    const int signal_number = settings.interrupt_signal ? settings.interrupt_signal() : 0;
    if (signal_number != 0) return Stopped(signal_number, archiver, state, err);
    if (watch.ReaderGone()) return Stopped(kBrokenPipeSignal, archiver, state, err);
    return 1;
  } catch (const Exception& e) {
    display.BeforeError();
    err << ErrorLines(e, settings.english_notes) << std::flush;
    return 1;
  } catch (const std::exception& e) {
    display.BeforeError();
    err << EscapedName(ErrorText(e.what())) << '\n' << std::flush;
    return 1;
  }
  display.BeforeError();
  out.flush();
  watch.Check();
  // Nothing was left to stop, but what the reader was to see went nowhere: as a run killed by
  // SIGPIPE at its last text would end.
  if (watch.ReaderGone()) return Stopped(kBrokenPipeSignal, archiver, state, err);
  if (settings.keep_going) PrintSummary(archiver, settings.english_notes, err);
  if (watch.Failed()) {
    err << ErrorText(_("Standard output could not be written: the progress texts it shows are "
                       "incomplete"))
        << '\n'
        << std::flush;
    return 1;
  }
  return archiver.Skipped().empty() ? 0 : 1;
}

}  // namespace kel
