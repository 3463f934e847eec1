// The top-level window: a fixed-size frame whose client area holds the controls.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "gui/component.h"
#include "gui/font.h"
#include "gui/icon.h"

namespace kel {

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
// `Action` is preset to caHide; caNone keeps the window open.
using TCloseEvent = std::function<void(TComponent* Sender, TCloseAction& Action)>;

enum class TFormBorderStyle { bsSizeable, bsSingle };
enum class TPosition { poDesigned, poScreenCenter };

// Which boxes the frame shows beside the close box (the system menu).
struct TBorderIcons {
  bool biMinimize = true;
  bool biMaximize = true;
};

class TForm : public TWinControl {
 public:
  // `owner` is usually the application, which then destroys the form at the end.
  explicit TForm(TComponent* owner);
  ~TForm() override;

  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Client-area size in pixels; with bsSingle the window keeps exactly this size.
  void SetClientSize(int width, int height);

  // Frame settings, applied when the window is made and again when it is first shown.
  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  TBorderIcons BorderIcons;
  TPosition Position = TPosition::poDesigned;

  // Every control takes the window's font. The backend uses the named font where it exists
  // and the nearest it has otherwise.
  void SetFont(const TFont& font);
  const TFont& Font() const { return font_; }
  // The window's own icon (title bar, system menu).
  void SetIcon(const TIcon& icon);

  // The control that gets the focus when the window is shown (null: the first in Tab order),
  // and afterwards the control that has the focus.
  TWinControl* ActiveControl() const;
  void SetActiveControl(TWinControl* control);

  // Runs after the form and everything on it is built (the application calls DoCreate).
  TNotifyEvent OnCreate;
  // Runs when the window is asked to close; an exception keeps the window open and is shown.
  TCloseEvent OnClose;

  // Runs OnCreate; an exception goes to the error display.
  void DoCreate();

  // Shows the window (placed by Position on its first showing) and focuses ActiveControl.
  void Show();
  // Asks the window to close, as the close box does.
  void Close();
  bool Visible() const;

 protected:
  NativeWindow CreateHandle(NativeWindow parent) override;
  void HandleCreated() override;
  void BoundsChanged() override;

 private:
  friend class FormWindow;
  // Called by the window when it is asked to close; true when it may close.
  bool CloseRequested();
  // Shows the window minimised (the backend's).
  void Minimize();
  void PlaceOnScreen();
  void ApplySize();

  std::string caption_;
  TFont font_;
  TIcon icon_;
  // The backend's font and icon objects made from font_ and icon_ (defined by each backend).
  struct Resources;
  std::unique_ptr<Resources> resources_;
  TWinControl* active_control_ = nullptr;
  bool placed_ = false;
};

}  // namespace kel
