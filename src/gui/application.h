// The application object: title, start sequence steps, the event loop, the message processing
// step and the two error displays.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "gui/component.h"
#include "gui/icon.h"
#include "gui/native_window.h"

namespace kel {

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // The application's title: the caption of every box of the default error display.
  std::string Title;

  // Readies the toolkit. Qt: makes the QApplication (kept until Shutdown) unless one exists
  // already, e.g. a test's; `argc` and `argv` must outlive the application object; when Qt
  // finds no display it can reach, writes one line saying so on stderr and ends the process
  // with exit status 1 instead of Qt's abort. Win32: registers the window classes and readies
  // the common controls.
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

  // The icon of every window without one of its own (and of the task bar button). Needs
  // Initialize first.
  void SetIcon(const TIcon& icon);

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
  // the title as caption, OK and the stop icon, and on a second line the path and reason it
  // carries as "PATH: REASON" (ReasonLine with ReasonText), where they say more than the message; anything else gets the start-up
  // error box without ending the program. Never throws.
  void HandleException(std::exception_ptr error) noexcept;

  // Destroys the forms and what Initialize made. Called at the end of the program; the object
  // can be initialised again afterwards (tests).
  void Shutdown() noexcept;

  // The active top-level window of the application, or null.
  NativeWindow ActiveWindow() const;

 private:
  void FormCreated(TForm* form);
  // Ends a mouse capture (a button held down) before an error box comes up.
  void CancelMouseCapture() noexcept;

  // The backend's state: the QApplication and Run's loop, or the Win32 loop's state.
  struct Toolkit;
  std::unique_ptr<Toolkit> toolkit_;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
};

// The program's application object.
extern TApplication Application;

// The start-up error display's text for `error`: the class name, the program file's name, the
// code address (8 hex digits; 00000000, as C++ does not tell where an exception was raised)
// and the message with a closing "." unless it is empty or already ends in ".".
std::string StartupErrorText(std::exception_ptr error);
inline constexpr const char* kStartupErrorCaption = "アプリケーション エラー";

// The file name of the running program, without its folder.
std::string ModuleFileName();

// Shows the start-up error box for `error` (on stderr when the toolkit is not ready). Never
// throws.
void ShowStartupError(std::exception_ptr error) noexcept;

// Runs the start sequence `steps` (Initialize, title, CreateForm, Run). An exception that
// escapes them gets the start-up error display; then the application is shut down. Returns the
// exit status: 0, or 1 after a start-up error.
int RunStartSequence(const std::function<void()>& steps) noexcept;

}  // namespace kel
