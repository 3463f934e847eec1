#include "app/batch_run.h"

#include <ostream>

#include "app/batch_job.h"
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

// Every status text on a line of its own; the empty text of the start action shows nothing.
class LinePanel : public StatusPanel {
 public:
  explicit LinePanel(std::ostream& out) : out_(out) {}
  void SetText(const std::string& text) override {
    if (!text.empty()) out_ << text << '\n' << std::flush;
  }

 private:
  std::ostream& out_;
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

void ReportError(std::ostream& err, const std::string& message) {
  err << MessageWithPeriod(message, SystemCodePage()) << '\n' << std::flush;
}

}  // namespace

std::string FolderFieldText(const std::string& path, const PathSyntax& syntax) {
  return syntax.IncludeTrailingSeparator(path);
}

int RunBatch(const std::string& source, const std::string& output, std::ostream& out,
             std::ostream& err) {
  for (const std::string& folder : {source, output}) {
    if (!DirectoryExists(folder)) {
      // "Folder X not found."
      ReportError(err, "フォルダ " + folder + " が見つかりません");
      return 1;
    }
  }
  const PathSyntax syntax = PathSyntax::Native();
  FixedField edit1(FolderFieldText(source, syntax));
  FixedField edit2(FolderFieldText(output, syntax));
  LinePanel panel(out);
  ImmediateTimer timer;
  NoMessages messages;
  TSearchFile search(syntax);
  JobState state;
  BatchJob job(state, JobControls{edit1, edit2, panel, timer, messages, search}, syntax);
  search.OnFind = [&job](TSearchFile& sender, const std::string& name, const TSearchFileData& data,
                         bool& go_on) { job.SearchFile1Find(sender, name, data, go_on); };

  job.FormCreate();
  CloseOnExit close(job);
  try {
    job.Button1Click();
    while (timer.Interval() > 0) job.Timer1Timer();
  } catch (const EAbort&) {
    return 1;
  } catch (const Exception& e) {
    ReportError(err, e.Message());
    return 1;
  } catch (const std::exception& e) {
    ReportError(err, e.what());
    return 1;
  }
  return 0;
}

}  // namespace kel
