#include "window/main_form.h"

#include "browse/folder_browser.h"
#include "gui/image.h"
#include "gui/std_controls.h"
#include "gui/timer.h"
#include "job/batch_job.h"
#include "job/job_state.h"
#include "window/folder_choice.h"
#include "window/form_builder.h"
#include "window/start_button_hold.h"
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
  start_button_ = std::make_unique<StartButtonHold>(*this, *Button1);
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

void TForm1::Button1Click(TComponent*) {
  // A start that still arrives while a run is under way (Click called past the disabled
  // button) is not forwarded: the job would refuse it with a modal box.
  if (start_button_->Held() || job_->PassRunning()) return;
  job_->Button1Click();
  if (Timer1->Armed()) start_button_->Hold();
}

void TForm1::SearchFile1Find(TSearchFile& Sender, const std::string& Name,
                             const TSearchFileData& Data, bool& Continue) {
  job_->SearchFile1Find(Sender, Name, Data, Continue);
}

void TForm1::Timer1Timer(TComponent*) {
  // However the tick ends (completion, a failure, a close that ended the pass early) the run is
  // over once the timer is no longer armed; a tick that re-armed it leaves the run pending.
  struct ReleaseAfterTick {
    TForm1& form;
    ~ReleaseAfterTick() {
      if (!form.Timer1->Armed() && !form.job_->PassRunning()) form.start_button_->Release();
    }
  } release{*this};
  job_->Timer1Timer();
}

void TForm1::FormCreate(TComponent*) { job_->FormCreate(); }

void TForm1::FormClose(TComponent*, TCloseAction&) { job_->FormClose(); }

void TForm1::Button3Click(TComponent*) { ChooseFolderInto(*FolderBrowser2, *Edit2); }

void TForm1::Button2Click(TComponent*) { ChooseFolderInto(*FolderBrowser1, *Edit1); }

const std::string& TForm1::CurrentSourceDir() const { return job_->CurrentSourceDir(); }

}  // namespace kel
