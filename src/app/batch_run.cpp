#include "app/batch_run.h"

#include <memory>
#include <ostream>

#include "app/batch_archiver.h"
#include "app/batch_job.h"
#include "app/progress_display.h"
#include "platform/code_page.h"
#include "platform/error_text.h"
#include "platform/exceptions.h"
#include "platform/file_info.h"
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

class NoMessages : public MessagePump {
 public:
  void ProcessMessages() override {}
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

ArchiverSettings ArchiverSettingsOf(const BatchSettings& s, const PathSyntax& syntax) {
  ArchiverSettings a;
  a.jobs = s.jobs;
  a.verify = s.verify;
  a.keep_going = s.keep_going;
  a.encoding = s.encoding;
  a.syntax = syntax;
  a.after_close = s.after_close;
  return a;
}

// The source bytes of the collected files, for the display's byte count.
uint64_t CollectedBytes(const JobState& state) {
  uint64_t total = 0;
  for (const std::string& source : state.SourceFiles->Items())
    if (const auto status = QueryFileStatus(source)) total += status->size;
  return total;
}

// "N files were archived; M could not be:" and a line per skipped file.
void PrintSummary(const BatchArchiver& archiver, std::ostream& err) {
  const auto& skipped = archiver.Skipped();
  err << archiver.Archived() << " 個のファイルを圧縮しました";
  if (skipped.empty()) {
    err << "。圧縮できなかったファイルはありません\n";
  } else {
    err << "。" << skipped.size() << " 個のファイルは圧縮できませんでした:\n";
    for (const SkippedFile& file : skipped)
      err << "  " << file.source_path << ": " << ErrorText(file.message) << '\n';
  }
  err << std::flush;
}

}  // namespace

std::string FolderFieldText(const std::string& path, const PathSyntax& syntax) {
  return syntax.IncludeTrailingSeparator(path);
}

int RunBatch(const BatchSettings& settings, std::ostream& out, std::ostream& err) {
  for (const std::string& folder : {settings.source, settings.output}) {
    if (!DirectoryExists(folder)) {
      // "Folder X not found."
      err << ErrorText("フォルダ " + folder + " が見つかりません") << '\n' << std::flush;
      return 1;
    }
  }
  const PathSyntax syntax = PathSyntax::Native();
  if (settings.encoding == NameEncoding::kCp932 && syntax.code_page != CodePage::kUtf8) {
    // "CP932 names need a UTF-8 locale."
    err << ErrorText("CP932 の名前は UTF-8 のロケールでのみ書けます") << '\n' << std::flush;
    return 1;
  }
  BatchArchiver archiver(ArchiverSettingsOf(settings, syntax));
  JobState state;
  uint64_t total_bytes = 0;
  std::unique_ptr<TerminalPanel> terminal;
  std::unique_ptr<LinePanel> lines;
  if (settings.terminal) {
    auto facts = [&archiver, &state, &total_bytes, &syntax] {
      const PassCounters& c = archiver.Counters();
      ProgressFacts f;
      f.files = state.FileCount;
      f.files_done = c.files_done.load();
      f.bytes = total_bytes;
      f.bytes_done = c.bytes_done.load();
      const int32_t current = c.current.load();
      if (current >= 0 && current < state.FileCount && state.SourceFiles)
        f.current_name = syntax.ExtractFileName((*state.SourceFiles)[current]);
      return f;
    };
    terminal = std::make_unique<TerminalPanel>(out, facts, settings.terminal_columns,
                                               syntax.code_page);
    archiver.OnTick = [&terminal] { terminal->Tick(); };
  } else {
    lines = std::make_unique<LinePanel>(out);
    archiver.OnTick = [&lines] { lines->Tick(); };
  }
  // Before anything goes to stderr: the status line off the terminal, or the waiting progress
  // lines out, so that a log of both streams keeps their order.
  auto before_err = [&terminal, &lines] {
    if (terminal) terminal->Clear();
    if (lines) lines->Flush();
  };
  archiver.OnSkip = [&before_err, &err](const SkippedFile& file) {
    before_err();
    // "File X was skipped: <reason>"
    err << "ファイル " << file.source_path << " を飛ばしました: " << ErrorText(file.message)
        << '\n' << std::flush;
  };

  FixedField edit1(FolderFieldText(settings.source, syntax));
  FixedField edit2(FolderFieldText(settings.output, syntax));
  ImmediateTimer timer;
  NoMessages messages;
  TSearchFile search(syntax);
  StatusPanel& shown = terminal ? static_cast<StatusPanel&>(*terminal) : *lines;
  BatchJob job(state, JobControls{edit1, edit2, shown, timer, messages, search}, syntax);
  job.SetArchiver(&archiver);
  search.OnFind = [&job](TSearchFile& sender, const std::string& name, const TSearchFileData& data,
                         bool& go_on) { job.SearchFile1Find(sender, name, data, go_on); };

  job.FormCreate();
  CloseOnExit close(job);
  try {
    job.Button1Click();
    if (settings.after_collection) settings.after_collection();
    if (terminal) {
      total_bytes = CollectedBytes(state);
      terminal->Start();
    }
    while (timer.Interval() > 0) job.Timer1Timer();
  } catch (const EAbort&) {
    before_err();
    return 1;
  } catch (const Exception& e) {
    before_err();
    err << ErrorText(e.Message()) << '\n' << std::flush;
    return 1;
  } catch (const std::exception& e) {
    before_err();
    err << ErrorText(e.what()) << '\n' << std::flush;
    return 1;
  }
  before_err();
  if (settings.keep_going) PrintSummary(archiver, err);
  return archiver.Skipped().empty() ? 0 : 1;
}

}  // namespace kel
