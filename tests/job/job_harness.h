// A host for the batch job without a window: fields with settable texts, a panel that records
// every text, a timer that only remembers its interval, and a message step that runs whatever
// a test puts into it (the input a user could give between two files).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job/batch_job.h"
#include "job/job_host.h"
#include "search/search_file.h"

namespace kel::test {

class TextBox : public FolderField {
 public:
  std::string Text() const override { return text; }
  std::string text;
};

class RecordingPanel : public StatusPanel {
 public:
  void SetText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class ManualTimer : public JobTimer {
 public:
  int Interval() const override { return interval; }
  void SetInterval(int milliseconds) override { interval = milliseconds; }
  int interval = 0;
};

class ScriptedPump : public MessagePump {
 public:
  void ProcessMessages() override {
    ++calls;
    if (on_step) on_step(calls);
  }
  std::function<void(int call)> on_step;
  int calls = 0;
};

struct JobHarness {
  explicit JobHarness(PathSyntax syntax = PathSyntax::Native())
      : search(syntax), job(state, JobControls{edit1, edit2, panel, timer, pump, search}, syntax) {
    search.OnFind = [this](TSearchFile& sender, const std::string& name,
                           const TSearchFileData& data, bool& go_on) {
      if (before_find) before_find();
      job.SearchFile1Find(sender, name, data, go_on);
    };
    job.FormCreate();
  }

  // The start action on two folder texts, used exactly as given.
  void Start(const std::string& source, const std::string& output) {
    edit1.text = source;
    edit2.text = output;
    job.Button1Click();
  }
  // The timer's ticks until it stands still, as the event loop would run them.
  void RunTimer() {
    while (timer.interval > 0) job.Timer1Timer();
  }

  TextBox edit1;
  TextBox edit2;
  RecordingPanel panel;
  ManualTimer timer;
  ScriptedPump pump;
  TSearchFile search;
  JobState state;
  BatchJob job;
  std::function<void()> before_find;  // runs inside the search, before each entry is handled
};

}  // namespace kel::test
