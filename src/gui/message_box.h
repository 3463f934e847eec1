// Modal message boxes with the flag and result numbers of the classic MessageBox call, and a
// hook that lets tests see the boxes instead of showing them.
#pragma once

#include <functional>
#include <string>

#include "gui/native_window.h"

namespace kel {

// Buttons (low 4 bits), icon (next 4 bits) and modality, with the numbers of the classic flags
// (named apart from <windows.h>'s macros of the same values).
enum MessageBoxFlags : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbTaskModal = 0x2000,
};
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

struct MessageBoxRequest {
  std::string Text;     // bytes in the system code page
  std::string Caption;  // bytes in the system code page
  unsigned Flags = kMbOk;
  NativeWindow Owner = nullptr;  // the window the box is centred on, or null
};

// Shows `request` modally (every other window of the application is disabled meanwhile, the
// previously active window and focus come back afterwards) and returns the button pressed.
// Closing the box counts as its Cancel (or No, or OK) button. Needs the toolkit ready
// (Application.Initialize) unless a hook is installed; without it the text goes to stderr. Never
// throws from the box itself; std::bad_alloc may pass.
int ShowMessageBox(const MessageBoxRequest& request);

// The backend's box, which ShowMessageBox shows when no hook is installed.
int ShowToolkitMessageBox(const MessageBoxRequest& request);

// What stands in for the modal box: it gets the request and returns the button "pressed".
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;

// Replaces the box display for its lifetime (tests); restores the previous one at the end.
class ScopedMessageBoxHook {
 public:
  explicit ScopedMessageBoxHook(MessageBoxHook hook);
  ~ScopedMessageBoxHook();
  ScopedMessageBoxHook(const ScopedMessageBoxHook&) = delete;
  ScopedMessageBoxHook& operator=(const ScopedMessageBoxHook&) = delete;

 private:
  MessageBoxHook previous_;
};

}  // namespace kel
