// The standard controls: push button, single-line edit field and the one-line panel.
#pragma once

#include <string>
#include <string_view>

#include "gui/component.h"

namespace kel {

// A push button. Never the window's default or cancel button: Enter and Esc mean nothing
// window-wide; Space or a click presses it.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);

  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Runs on a click (mouse or keyboard); an exception goes to the error display.
  TNotifyEvent OnClick;
  // Presses the button as a click does.
  void Click();

 protected:
  NativeWindow CreateHandle(NativeWindow parent) override;

 private:
  std::string caption_;
};

// A single-line edit field with the default border, editable; it holds up to 32767 characters
// on both backends (QLineEdit's limit; the limit the Win32 field is given), far beyond any
// path.
class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);

  // The current text, as typed or as set.
  std::string Text() const;
  void SetText(const std::string& text);

  // True when a field keeps `text` exactly: Text() after SetText(text) gives the same bytes.
  // Bytes that are no text in the system code page (a lone Shift-JIS lead byte in a UTF-8
  // name) are shown as replacement characters and would come back as other bytes.
  static bool Holds(std::string_view text);

 protected:
  NativeWindow CreateHandle(NativeWindow parent) override;
  void HandleCreated() override;

 private:
  std::string text_;  // the text while there is no widget yet
};

// One line of text centred both ways on the button-face colour, with a raised bevel one pixel
// wide. It never takes the focus.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);

  std::string Caption() const { return caption_; }
  // Replaces the line shown; the panel repaints at the next paint.
  void SetCaption(const std::string& caption);

  bool CanFocus() const override { return false; }

 protected:
  NativeWindow CreateHandle(NativeWindow parent) override;

 private:
  std::string caption_;
};

}  // namespace kel
