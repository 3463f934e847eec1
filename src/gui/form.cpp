#include "gui/form.h"

#include "gui/application.h"

namespace kel {

void TForm::SetClientSize(int width, int height) { SetBounds(Left(), Top(), width, height); }

void TForm::SetActiveControl(TWinControl* control) {
  active_control_ = control;
  if (control && Visible()) control->SetFocus();
}

void TForm::DoCreate() {
  CallHandler([this] {
    if (OnCreate) OnCreate(this);
  });
}

bool TForm::CloseRequested() {
  TCloseAction action = TCloseAction::caHide;
  bool failed = false;
  try {
    if (OnClose) OnClose(this, action);
  } catch (...) {
    failed = true;
    Application.HandleException(std::current_exception());
  }
  if (failed || action == TCloseAction::caNone) return false;
  if (action == TCloseAction::caMinimize) {
    Minimize();
    return false;
  }
  if (Application.MainForm() == this) Application.Terminate();
  return true;
}

}  // namespace kel
