#include "gui/message_box.h"

#include <vector>

#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"

namespace kel {

namespace {

// What closing the box without a button means: its Cancel, No or only button.
int DismissResult(unsigned flags) {
  switch (flags & 0x0F) {
    case kMbOkCancel:
      return kIdCancel;
    case kMbYesNo:
      return kIdNo;
    default:
      return kIdOk;
  }
}

// Disables the program's visible top-level windows other than the box's owner (which the box
// disables and enables itself) for its lifetime, and enables them again afterwards.
class OtherWindowsDisabled {
 public:
  explicit OtherWindowsDisabled(HWND owner) : owner_(owner) {
    EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(this));
  }
  ~OtherWindowsDisabled() {
    for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
      if (IsWindow(*it)) EnableWindow(*it, TRUE);
    }
  }
  OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
  OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK DisableOne(HWND hwnd, LPARAM self_pointer) {
    auto* self = reinterpret_cast<OtherWindowsDisabled*>(self_pointer);
    if (hwnd != self->owner_ && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
      try {
        self->disabled_.push_back(hwnd);
      } catch (...) {
        return FALSE;  // the windows disabled so far are enabled again
      }
      EnableWindow(hwnd, FALSE);
    }
    return TRUE;
  }

  HWND owner_;
  std::vector<HWND> disabled_;
};

}  // namespace

int ShowToolkitMessageBox(const MessageBoxRequest& request) {
  HWND owner = win32::Hwnd(request.Owner);
  if (owner && !IsWindow(owner)) owner = nullptr;
  const std::wstring text = win32::ToWide(request.Text);
  const std::wstring caption = win32::ToWide(request.Caption);
  HWND active = GetActiveWindow();
  HWND focus = GetFocus();
  int result = 0;
  {
    const OtherWindowsDisabled others(owner);
    // The flags are MessageBox's own numbers.
    result = MessageBoxW(owner, text.c_str(), caption.c_str(), request.Flags);
  }
  if (active && IsWindow(active)) SetActiveWindow(active);
  if (focus && IsWindow(focus)) SetFocus(focus);
  return result != 0 ? result : DismissResult(request.Flags);
}

}  // namespace kel
