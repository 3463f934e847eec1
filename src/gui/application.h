// The application object: title, start sequence steps, the event loop, the message processing
// step and the two error displays.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "gui/component.h"

class QApplication;
class QEventLoop;
class QIcon;

namespace kel {

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // The application's title: the caption of every box of the default error display.
  std::string Title;

  // Makes the QApplication (kept until Shutdown) unless one exists already, e.g. a test's.
  // `argc` and `argv` must outlive the application object. When Qt finds no display it can
  // reach (none set, or one that does not answer), writes one line saying so on stderr and
  // ends the process with exit status 1 instead of Qt's abort.
  void Initialize(int& argc, char** argv);

  // Creates a form of class T owned by the application, stores it in `reference` before its
  // creation handler runs, makes the first one the main form, then runs its OnCreate (an
  // exception from OnCreate is shown and the start goes on). Exceptions from T's constructor
  // pass to the caller.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    FormCreated(reference);
  }

  TForm* MainForm() const { return main_form_; }

  // The icon of every window without one of its own (and of the task bar button). Needs the
  // QApplication.
  void SetIcon(const QIcon& icon);

  // Shows the main form and runs the event loop until the application is told to end (the main
  // form closed or Terminate). Returns at once without a main form.
  void Run();

  // Dispatches every event that is waiting (paint, input, timer ticks, close requests) and
  // returns when none is left; never waits. A close of the main form met here only marks the
  // application as ending; Run's loop ends when control gets back to it.
  void ProcessMessages();

  // Marks the application as ending; Run's loop stops when control returns to it.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The default error display for an exception that left an event handler: EAbort shows
  // nothing; a kel::Exception shows its message (with the closing period) in a modal box with
  // the title as caption, OK and the stop icon, and its reason's text (ReasonText) on a second
  // line when it carries one that says more than the message; anything else gets the start-up
  // error box without ending the program. Never throws.
  void HandleException(std::exception_ptr error) noexcept;

  // Destroys the forms and the QApplication made by Initialize. Called at the end of the
  // program; the object can be initialised again afterwards (tests).
  void Shutdown() noexcept;

 private:
  void FormCreated(TForm* form);

  std::unique_ptr<QApplication> own_qt_app_;
  TForm* main_form_ = nullptr;
  QEventLoop* loop_ = nullptr;  // Run's loop while it runs
  bool terminated_ = false;
};

// The program's application object.
extern TApplication Application;

// The start-up error display's text for `error`: the class name, the program file's name, the
// code address (8 hex digits; 00000000, as C++ does not tell where an exception was raised)
// and the message with a closing "." unless it is empty or already ends in ".".
std::string StartupErrorText(std::exception_ptr error);
inline constexpr const char* kStartupErrorCaption = "アプリケーション エラー";

// Shows the start-up error box for `error` (on stderr when there is no QApplication). Never
// throws.
void ShowStartupError(std::exception_ptr error) noexcept;

// Runs the start sequence `steps` (Initialize, title, CreateForm, Run). An exception that
// escapes them gets the start-up error display; then the application is shut down. Returns the
// exit status: 0, or 1 after a start-up error.
int RunStartSequence(const std::function<void()>& steps) noexcept;

}  // namespace kel
