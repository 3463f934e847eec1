// The windowed controls' Win32 windows.
// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>

#include "gui/component.h"
#include "gui/win32/win32_window.h"

namespace kel {

using win32::ControlOf;
using win32::Hwnd;
using win32::Native;

namespace {

// The record the subclass of a control's window clears when the window goes, however it goes
// (with its parent window, say), so that the control never uses a dead handle.
struct WindowRecord {
  HWND hwnd = nullptr;
};

constexpr UINT_PTR kSubclassId = 1;

LRESULT CALLBACK ControlSubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                     DWORD_PTR data) {
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ControlSubclassProc, id);
    win32::ForgetControlOf(hwnd);
    reinterpret_cast<WindowRecord*>(data)->hwnd = nullptr;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

// Gives the child `hwnd` the font of its parent window.
void TakeParentFont(HWND hwnd, HWND parent) {
  const LRESULT font = SendMessageW(parent, WM_GETFONT, 0, 0);
  if (font) SendMessageW(hwnd, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
}

// The focus leaves `hwnd`, which is about to be disabled or taken out, for the next control in
// Tab order, as the user would move it; that includes the focus the window gets back at its
// next activation.
void MoveFocusOn(HWND hwnd) {
  HWND top = GetAncestor(hwnd, GA_ROOT);
  if (!top || top == hwnd) return;
  HWND focus = GetFocus();
  const bool has_focus = focus && (focus == hwnd || IsChild(hwnd, focus));
  const bool saved = win32::SavedFocus(top) == hwnd;
  if (!has_focus && !saved) return;
  HWND next = GetNextDlgTabItem(top, hwnd, FALSE);
  if (next == hwnd) next = nullptr;
  win32::SetSavedFocus(top, next);
  if (has_focus) SetFocus(next ? next : top);
}

}  // namespace

struct TWinControl::HandleHolder : WindowRecord {};

TWinControl::TWinControl(TComponent* owner) : TControl(owner), handle_(new HandleHolder) {}

TWinControl::~TWinControl() {
  // Owned components go while this control is whole; controls shown here but owned elsewhere
  // only lose their parent.
  DestroyComponents();
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  if (handle_->hwnd) {
    win32::ForgetControlOf(handle_->hwnd);
    DestroyWindow(handle_->hwnd);  // the subclass clears handle_->hwnd
  }
  delete handle_;
}

bool TWinControl::HandleAllocated() const { return handle_->hwnd != nullptr; }

NativeWindow TWinControl::Handle() {
  if (handle_->hwnd) return Native(handle_->hwnd);
  HWND parent = Parent() ? Hwnd(Parent()->Handle()) : nullptr;
  // The parent's Handle() may have made ours already, as one of its children.
  if (handle_->hwnd) return Native(handle_->hwnd);
  HWND hwnd = Hwnd(CreateHandle(Native(parent)));
  handle_->hwnd = hwnd;
  win32::SetControlOf(hwnd, this);
  SetWindowSubclass(hwnd, ControlSubclassProc, kSubclassId,
                    reinterpret_cast<DWORD_PTR>(static_cast<WindowRecord*>(handle_)));
  if (parent) {
    // The dialog manager's Tab goes from one WS_TABSTOP window to the next.
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    style = CanFocus() ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrW(hwnd, GWL_STYLE, style);
    TakeParentFont(hwnd, parent);
  }
  if (!enabled_) EnableWindow(hwnd, FALSE);
  HandleCreated();
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) child->Handle();
  }
  UpdateTabOrder();
  if (Parent()) Parent()->UpdateTabOrder();
  return Native(hwnd);
}

void TWinControl::SetParent(TWinControl* parent) {
  TControl::SetParent(parent);
  if (!HandleAllocated()) {
    if (parent && parent->HandleAllocated()) Handle();
    return;
  }
  HWND hwnd = handle_->hwnd;
  if (parent) {
    HWND parent_window = Hwnd(parent->Handle());
    ::SetParent(hwnd, parent_window);
    SetWindowPos(hwnd, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    TakeParentFont(hwnd, parent_window);
    ShowWindow(hwnd, SW_SHOWNA);
    parent->UpdateTabOrder();
  } else {
    // Parked as a message-only window until it is shown somewhere again.
    MoveFocusOn(hwnd);
    ShowWindow(hwnd, SW_HIDE);
    ::SetParent(hwnd, HWND_MESSAGE);
  }
}

void TWinControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(handle_->hwnd, nullptr, TRUE);
}

void TWinControl::SetFocus() {
  if (!CanFocus()) return;
  HWND hwnd = Hwnd(Handle());
  HWND top = GetAncestor(hwnd, GA_ROOT);
  // A hidden window takes the focus when it is shown; until then it only remembers it.
  if (top && top != hwnd && !IsWindowVisible(top)) {
    win32::SetSavedFocus(top, hwnd);
    return;
  }
  ::SetFocus(hwnd);
}

bool TWinControl::Focused() const { return HandleAllocated() && GetFocus() == handle_->hwnd; }

void TWinControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (!HandleAllocated()) return;
  // Windows leaves the focus nowhere when the focused window is disabled.
  if (!enabled) MoveFocusOn(handle_->hwnd);
  EnableWindow(handle_->hwnd, enabled ? TRUE : FALSE);
}

void TWinControl::BoundsChanged() {
  if (HandleAllocated() && Parent()) {
    SetWindowPos(handle_->hwnd, nullptr, Left(), Top(), Width(), Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  AlignControls();
}

void TWinControl::UpdateTabOrder() {
  if (!HandleAllocated()) return;
  // The dialog manager tabs through the children from the top of the Z-order down, so the
  // Tab sequence becomes the Z-order, followed by the children that take no focus. The
  // controls do not overlap and the picture is painted by the parent below all of them, so
  // nothing the user sees changes.
  std::vector<HWND> order;
  for (TWinControl* child : TabSequence()) {
    if (child->HandleAllocated()) order.push_back(child->handle_->hwnd);
  }
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    auto* child = dynamic_cast<TWinControl*>(*it);
    if (child && child->HandleAllocated() && !child->CanFocus()) {
      order.push_back(child->handle_->hwnd);
    }
  }
  HWND after = HWND_TOP;
  for (HWND hwnd : order) {
    SetWindowPos(hwnd, after, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    after = hwnd;
  }
}

void TGraphicControl::Invalidate() {
  TWinControl* parent = Parent();
  if (parent && parent->HandleAllocated()) {
    const RECT area{Left(), Top(), Left() + Width(), Top() + Height()};
    InvalidateRect(Hwnd(parent->Handle()), &area, FALSE);
  }
}

}  // namespace kel
