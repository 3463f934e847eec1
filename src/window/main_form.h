// TForm1, the program's only window: built from Form1Description, its start button, search and
// timer run the batch job (batch_job.h) on the program's job state, its folder buttons fill
// the two folder fields through the folder dialogs.
#pragma once

#include <memory>
#include <string>

#include "gui/form.h"

namespace kel {

class BatchJob;
class StartButtonHold;
class TButton;
class TEdit;
class TFolderBrowser;
class TImage;
class TPanel;
class TSearchFile;
class TTimer;
struct TSearchFileData;
struct WindowHost;

class TForm1 : public TForm {
 public:
  // Builds the window and everything on it from Form1Description; FormCreate is left to the
  // caller (Application.CreateForm runs it). Raises what BuildForm raises.
  explicit TForm1(TComponent* AOwner);
  ~TForm1() override;

  // The window's components, owned by the window; set by the constructor.
  TSearchFile* SearchFile1 = nullptr;
  TButton* Button1 = nullptr;
  TFolderBrowser* FolderBrowser1 = nullptr;
  TTimer* Timer1 = nullptr;
  TEdit* Edit1 = nullptr;
  TButton* Button2 = nullptr;
  TEdit* Edit2 = nullptr;
  TButton* Button3 = nullptr;
  TFolderBrowser* FolderBrowser2 = nullptr;
  TPanel* Panel1 = nullptr;
  TImage* Image1 = nullptr;

  // The batch job's handlers (batch_job.h). Button1 is disabled from a start that armed the
  // timer until the tick that ran its pass has returned (StartButtonHold), and a start that
  // arrives meanwhile all the same is ignored; a close during a pass ends it after the file in
  // hand and the job lists go once it has returned.
  void Button1Click(TComponent* Sender);
  void SearchFile1Find(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& Continue);
  void Timer1Timer(TComponent* Sender);
  void FormCreate(TComponent* Sender);
  void FormClose(TComponent* Sender, TCloseAction& Action);
  // The folder buttons: FolderBrowser2 into Edit2, FolderBrowser1 into Edit1.
  void Button3Click(TComponent* Sender);
  void Button2Click(TComponent* Sender);

  // The directory of the file the pass archives (or archived last); empty at creation.
  const std::string& CurrentSourceDir() const;
  const BatchJob& Job() const { return *job_; }

 private:
  void BindComponents();

  std::unique_ptr<WindowHost> host_;
  std::unique_ptr<BatchJob> job_;
  std::unique_ptr<StartButtonHold> start_button_;
};

// The program's main window, set by the start sequence (Application.CreateForm); null again
// once that window is destroyed.
extern TForm1* Form1;

}  // namespace kel
