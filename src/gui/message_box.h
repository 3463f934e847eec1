// Modal message boxes with the flag and result numbers of the classic MessageBox call, and a
// hook that lets tests see the boxes instead of showing them.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace kel {

// Buttons (low 4 bits), icon (next 4 bits) and modality, as the classic flags.
enum MessageBoxFlags : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_TASKMODAL = 0x2000,
};
enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
  std::string Text;     // bytes in the system code page
  std::string Caption;  // bytes in the system code page
  unsigned Flags = MB_OK;
  QWidget* Owner = nullptr;  // the window the box is centred on, or null
};

// Shows `request` modally (every other window of the application is disabled meanwhile, the
// previously active window and focus come back afterwards) and returns the button pressed.
// Closing the box counts as its Cancel (or No, or OK) button. Needs a QApplication unless a hook
// is installed. Never throws from the box itself; std::bad_alloc may pass.
int ShowMessageBox(const MessageBoxRequest& request);

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
