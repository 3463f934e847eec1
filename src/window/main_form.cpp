#include "window/main_form.h"

#include <optional>

#include "browse/folder_browser.h"
#include "gui/image.h"
#include "gui/std_controls.h"
#include "gui/timer.h"
#include "job/batch_job.h"
#include "job/job_state.h"
#include "window/folder_choice.h"
#include "window/form_builder.h"
#include "window/window_host.h"

namespace kel {

TForm1* Form1 = nullptr;

struct WindowHost {
  WindowHost(TForm1& form)
      : edit1(*form.Edit1), edit2(*form.Edit2), panel1(*form.Panel1), timer1(*form.Timer1) {}
  EditField edit1;
  EditField edit2;
  PanelStatus panel1;
  WindowTimer timer1;
  ApplicationPump application;
};

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
  THandlerTable handlers;
  handlers.Notify = {
      {"Button1Click", [this](TComponent* s) { Button1Click(s); }},
      {"Timer1Timer", [this](TComponent* s) { Timer1Timer(s); }},
      {"FormCreate", [this](TComponent* s) { FormCreate(s); }},
      {"Button3Click", [this](TComponent* s) { Button3Click(s); }},
      {"Button2Click", [this](TComponent* s) { Button2Click(s); }},
  };
  handlers.Find = {
      {"SearchFile1Find",
       [this](TSearchFile& sender, const std::string& name, const TSearchFileData& data,
              bool& go_on) { SearchFile1Find(sender, name, data, go_on); }},
  };
  handlers.Close = {
      {"FormClose", [this](TComponent* s, TCloseAction& action) { FormClose(s, action); }},
  };
  BuildForm(*this, Form1Description(), handlers);
  BindComponents();
  host_ = std::make_unique<WindowHost>(*this);
  job_ = std::make_unique<BatchJob>(
      TheJobState(), JobControls{host_->edit1, host_->edit2, host_->panel1, host_->timer1,
                                 host_->application, *SearchFile1});
}

TForm1::~TForm1() {
  // The components go first: the job and its view of the controls must outlive them.
  DestroyComponents();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::BindComponents() {
  SearchFile1 = &ComponentNamed<TSearchFileComponent>(*this, "SearchFile1");
  Button1 = &ComponentNamed<TButton>(*this, "Button1");
  FolderBrowser1 = &ComponentNamed<TFolderBrowser>(*this, "FolderBrowser1");
  Timer1 = &ComponentNamed<TTimer>(*this, "Timer1");
  Edit1 = &ComponentNamed<TEdit>(*this, "Edit1");
  Button2 = &ComponentNamed<TButton>(*this, "Button2");
  Edit2 = &ComponentNamed<TEdit>(*this, "Edit2");
  Button3 = &ComponentNamed<TButton>(*this, "Button3");
  FolderBrowser2 = &ComponentNamed<TFolderBrowser>(*this, "FolderBrowser2");
  Panel1 = &ComponentNamed<TPanel>(*this, "Panel1");
  Image1 = &ComponentNamed<TImage>(*this, "Image1");
}

namespace {

// Keeps the start button disabled while a timer tick runs the pass, so that a click cannot
// reach the job's refusal and its modal box in the middle of it; enabled again however the
// tick ends (completion, a failure, a close that ends the pass early). When the button had the
// focus, it gets it back unless something else was focused meanwhile.
class StartButtonLock {
 public:
  StartButtonLock(TForm& form, TButton& button)
      : form_(form), button_(button), had_focus_(form.ActiveControl() == &button) {
    button_.SetEnabled(false);
    focus_moved_to_ = form_.ActiveControl();
  }
  ~StartButtonLock() {
    button_.SetEnabled(true);
    if (had_focus_ && form_.ActiveControl() == focus_moved_to_) button_.SetFocus();
  }
  StartButtonLock(const StartButtonLock&) = delete;
  StartButtonLock& operator=(const StartButtonLock&) = delete;

 private:
  TForm& form_;
  TButton& button_;
  bool had_focus_;
  TWinControl* focus_moved_to_ = nullptr;
};

}  // namespace

void TForm1::Button1Click(TComponent*) {
  // A click that still arrives during the pass (Click() called directly) is not forwarded:
  // the job would refuse it with EJobBusy, a modal box the pass would wait behind.
  if (job_->PassRunning()) return;
  job_->Button1Click();
}

void TForm1::SearchFile1Find(TSearchFile& Sender, const std::string& Name,
                             const TSearchFileData& Data, bool& Continue) {
  job_->SearchFile1Find(Sender, Name, Data, Continue);
}

void TForm1::Timer1Timer(TComponent*) {
  // A tick met inside the pass's own message step must not enable the button on its way out.
  std::optional<StartButtonLock> lock;
  if (!job_->PassRunning()) lock.emplace(*this, *Button1);
  job_->Timer1Timer();
}

void TForm1::FormCreate(TComponent*) { job_->FormCreate(); }

void TForm1::FormClose(TComponent*, TCloseAction&) { job_->FormClose(); }

void TForm1::Button3Click(TComponent*) { ChooseFolderInto(*FolderBrowser2, *Edit2); }

void TForm1::Button2Click(TComponent*) { ChooseFolderInto(*FolderBrowser1, *Edit1); }

const std::string& TForm1::CurrentSourceDir() const { return job_->CurrentSourceDir(); }

}  // namespace kel
