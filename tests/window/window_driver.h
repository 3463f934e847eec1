// Drives the toolkit as a user would, the same way on every backend, so that one set of window
// tests serves the Qt and the Win32 program: find what a control shows, click it, type into
// it, press keys, answer the folder dialog, wait with the event loop turning. Each backend has
// its implementation (qt/window_driver.cpp, win32/window_driver.cpp). Message boxes are seen
// through ScopedMessageBoxHook (gui/box_capture.h), the same on both.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/bitmap.h"
#include "gui/component.h"
#include "gui/form.h"
#include "support/program_text.h"

namespace kel::test {

// Readies the toolkit for the tests of one program run, for the object's lifetime (Qt: the
// offscreen QApplication; Win32: the window classes). Made once by the test program's main.
class ToolkitSession {
 public:
  ToolkitSession(int& argc, char** argv);
  ~ToolkitSession();
  ToolkitSession(const ToolkitSession&) = delete;
  ToolkitSession& operator=(const ToolkitSession&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// What the toolkit shows for a control, read from its window (not from the control object).
struct Shown {
  int left = 0, top = 0;      // in the parent's client area; for a form, on the screen
  int width = 0, height = 0;  // client size for a form, outer size for a control
  std::string text;           // caption or field text, in the system code page
  bool visible = false;
  bool enabled = false;
};
Shown ShownBy(TWinControl& control);

// The frame of a top-level window as the toolkit made it.
struct Frame {
  bool resizable = false;
  bool maximise_box = false;
  bool minimise_box = false;
  bool system_menu = false;
  bool has_icon = false;      // the window shows an icon of its own or the application's
  std::string font_face;      // the face the controls' font resolved to (UTF-8)
  int font_pixel_height = 0;  // its character height in pixels
};
Frame FrameOf(TForm& form);

// The screen area a centred window is centred in, in screen coordinates.
struct Area {
  int left = 0, top = 0, width = 0, height = 0;
};
Area CentringArea();

// The form's client area as it is shown now (after a repaint).
TBitmap Capture(TForm& form);

// The native folder separator ("/" or "\").
std::string Separator();

// The controls of `form` that have windows, in the toolkit's stacking order from the bottom.
std::vector<TWinControl*> StackingOrder(TForm& form);

// Focuses `control` with a click (buttons: a whole press and release in its middle).
void Click(TWinControl& control);
// Focuses the field and types `text` (UTF-8 here, ASCII in the tests) key by key.
void Type(TWinControl& field, const std::string& text);
enum class Key { Tab, Enter, Escape, Space };
// Sends the key to the control that has the focus.
void Press(Key key);
// The control of `form` that has the toolkit's keyboard focus, or null.
TWinControl* FocusedControl(TForm& form);
// Asks the window to close, as its close box does.
void CloseByUser(TForm& form);

// Shows `form` and waits until it is the active window.
bool ShowAndActivate(TForm& form);
// Keeps the event loop turning until `done` holds or `timeout_ms` passed.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 30000);
// Keeps the event loop turning for `ms` milliseconds.
void Wait(int ms);
// Runs `action` from the event loop after about `delay_ms` (also inside modal loops and
// during a pass's message processing).
void Later(std::function<void()> action, int delay_ms = 0);

// The folder dialog while it is open.
class FolderDialogDriver {
 public:
  // Selects the folder `path` as the user would; false when the dialog cannot show it.
  virtual bool SelectPath(const std::string& path) = 0;
  // Selects an item that has no file-system path (the computer).
  virtual void SelectItemWithoutPath() = 0;
  virtual std::string Title() = 0;
  virtual std::string StatusText() = 0;
  virtual bool OkEnabled() = 0;
  virtual void Ok() = 0;
  virtual void Cancel() = 0;

 protected:
  ~FolderDialogDriver() = default;
};
// Once a folder dialog is open and initialised, runs `action` on it from inside its modal
// loop; a dialog still open after the action is cancelled. Arm it, then do what opens the
// dialog. Fails the test when no dialog opens within `timeout_ms`.
void WhenFolderDialogOpens(std::function<void(FolderDialogDriver&)> action, int timeout_ms = 15000);

}  // namespace kel::test
