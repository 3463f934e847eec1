#include "gui/form.h"

#include <algorithm>

#include "gui/application.h"
#include "gui/std_controls.h"
#include "gui/win32/gdi_canvas.h"
#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"
#include "platform/exceptions.h"

namespace kel {

using win32::ControlOf;
using win32::Hwnd;
using win32::Native;

namespace {

DWORD FrameStyle(const TForm& form) {
  // Windowless controls are painted by the form, never over its child windows.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (form.BorderIcons.biMinimize) style |= WS_MINIMIZEBOX;
  if (form.BorderStyle == TFormBorderStyle::bsSizeable) {
    style |= WS_THICKFRAME;
    if (form.BorderIcons.biMaximize) style |= WS_MAXIMIZEBOX;
  }
  return style;
}

// The named font at the given height in the given character set. The system maps a name it
// does not have to the nearest font it has (Wine: the font replacements of its registry).
HFONT MakeFont(const TFont& font) {
  const std::wstring name = win32::ToWide(font.Name).substr(0, LF_FACESIZE - 1);
  return CreateFontW(font.Height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     static_cast<DWORD>(font.Charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.c_str());
}

// The icon resource `name` of the program at the size the system uses for `metric`; null when
// the program has no such resource.
HICON LoadIconResource(const std::string& name, int metric_x, int metric_y) {
  if (name.empty()) return nullptr;
  const std::wstring wide = win32::ToWide(name);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), wide.c_str(), IMAGE_ICON,
                                       GetSystemMetrics(metric_x), GetSystemMetrics(metric_y), 0));
}

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

// Whether `child` can take the focus inside `top` now.
bool Focusable(HWND top, HWND child) {
  return child && IsWindow(child) && IsChild(top, child) && IsWindowVisible(child) &&
         IsWindowEnabled(child) && (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP);
}

// Gives the focus back to the child that had it when the window was last left; when that one
// cannot take it any more, to the next in Tab order after it.
void RestoreFocus(HWND top) {
  HWND saved = win32::SavedFocus(top);
  HWND target = saved;
  if (!Focusable(top, target)) {
    const bool known = saved && IsWindow(saved) && IsChild(top, saved);
    target = GetNextDlgTabItem(top, known ? saved : nullptr, FALSE);
    if (!Focusable(top, target)) return;
  }
  SetFocus(target);
}

// BeginPaint and EndPaint around a paint.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
  ~PaintScope() { EndPaint(hwnd_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }
  const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

}  // namespace

struct TForm::Resources {
  HFONT font = nullptr;
  HICON big_icon = nullptr;
  HICON small_icon = nullptr;

  Resources() = default;
  Resources(const Resources&) = delete;
  Resources& operator=(const Resources&) = delete;
  ~Resources() {
    if (font) DeleteObject(font);
    if (big_icon) DestroyIcon(big_icon);
    if (small_icon) DestroyIcon(small_icon);
  }
};

// The form's window procedure: paints the windowless controls on the window's surface, asks the
// form before the window closes and passes button clicks on to the buttons.
class FormWindow {
 public:
  // Places the window on its first showing, readies the focus for ActiveControl (or the first
  // enabled control in Tab order) and shows it with `show_command`. Every command but the
  // minimised, inactive one (SW_SHOWMINNOACTIVE) then activates the window and focuses that
  // control; that one leaves the window as it found it, neither shown first nor activated, and
  // the focus goes there when the user restores the window.
  static void ShowAs(TForm& form, int show_command) {
    HWND hwnd = Hwnd(form.Handle());
    if (!form.placed_) {
      form.HandleCreated();  // settings made after the window was created
      form.PlaceOnScreen();
      form.placed_ = true;
    }
    TWinControl* first = form.active_control_;
    if (!first || !first->CanFocus() || !first->Enabled()) {
      first = nullptr;
      for (TWinControl* control : form.TabSequence()) {
        if (control->Enabled()) {
          first = control;
          break;
        }
      }
    }
    // Activation gives the focus to the saved child (WM_ACTIVATE).
    if (first) win32::SetSavedFocus(hwnd, Hwnd(first->Handle()));
    ShowWindow(hwnd, show_command);
    if (show_command == SW_SHOWMINNOACTIVE) return;
    SetForegroundWindow(hwnd);
    if (first) first->SetFocus();
  }

  // The button face under the windowless controls, painted bottom to top.
  static void Paint(TForm& form, HDC dc, const RECT& area) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    win32::GdiCanvas canvas(dc);
    form.PaintControls(canvas);
  }

  static LRESULT Message(TForm& form, HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills the background itself, without flicker under the picture
      case WM_PAINT: {
        const PaintScope paint(hwnd);
        Paint(form, paint.Dc(), paint.Area());
        return 0;
      }
      case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(hwnd, &client);
        Paint(form, reinterpret_cast<HDC>(wparam), client);
        return 0;
      }
      case WM_CLOSE:
        if (form.CloseRequested()) ShowWindow(hwnd, SW_HIDE);
        return 0;
      case WM_COMMAND: {
        // A button's click names the button. Enter and Esc arrive as IDOK and IDCANCEL without
        // a child window, as no button is the default: Enter presses the focused button (the
        // dialog manager sends a button that Tab reached its click itself), and means nothing
        // in a field; Esc means nothing.
        HWND child = reinterpret_cast<HWND>(lparam);
        if (lparam == 0 && LOWORD(wparam) == IDOK) child = GetFocus();
        else if (HIWORD(wparam) != BN_CLICKED) child = nullptr;
        if (child != nullptr && IsChild(hwnd, child)) {
          if (auto* button = dynamic_cast<TButton*>(ControlOf(child))) button->Click();
        }
        return 0;
      }
      case WM_ACTIVATE:
        if (LOWORD(wparam) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(hwnd, focus)) win32::SetSavedFocus(hwnd, focus);
        } else if (!HIWORD(wparam)) {
          RestoreFocus(hwnd);
        }
        return 0;
      case WM_SETFOCUS:
        RestoreFocus(hwnd);
        return 0;
      case WM_GETFONT:
        return reinterpret_cast<LRESULT>(form.resources_->font);
      case WM_SETFONT:
        return 0;  // the form's font is TForm::SetFont's
      default:
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
  }
};

LRESULT CALLBACK win32::FormWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCDESTROY) win32::ForgetSavedFocus(hwnd);
  // Only forms make windows of this class; before the form knows its window and after it let
  // go of it, the window is the system's.
  auto* form = static_cast<TForm*>(ControlOf(hwnd));
  if (!form) return DefWindowProcW(hwnd, msg, wparam, lparam);
  try {
    return FormWindow::Message(*form, hwnd, msg, wparam, lparam);
  } catch (...) {
    // No exception unwinds through the system's frames.
    Application.HandleException(std::current_exception());
    return 0;
  }
}

TForm::TForm(TComponent* owner) : TWinControl(owner), resources_(std::make_unique<Resources>()) {
  resources_->font = MakeFont(font_);
}

TForm::~TForm() {
  // The controls go while the form is whole; then the window forgets it.
  DestroyComponents();
  if (HandleAllocated()) {
    HWND hwnd = Hwnd(Handle());
    win32::ForgetControlOf(hwnd);
    ShowWindow(hwnd, SW_HIDE);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, 0);
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, 0);
  }
}

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) SetWindowTextW(Hwnd(Handle()), win32::ToWide(caption_).c_str());
}

void TForm::SetFont(const TFont& font) {
  HFONT made = MakeFont(font);
  font_ = font;
  HFONT old = resources_->font;
  resources_->font = made;
  if (HandleAllocated()) {
    EnumChildWindows(Hwnd(Handle()), SetFontOfChild, reinterpret_cast<LPARAM>(made));
  }
  if (old) DeleteObject(old);
}

void TForm::SetIcon(const TIcon& icon) {
  HICON big = LoadIconResource(icon.ResourceName, SM_CXICON, SM_CYICON);
  HICON small = LoadIconResource(icon.ResourceName, SM_CXSMICON, SM_CYSMICON);
  icon_ = icon;
  if (HandleAllocated()) {
    HWND hwnd = Hwnd(Handle());
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
  if (resources_->big_icon) DestroyIcon(resources_->big_icon);
  if (resources_->small_icon) DestroyIcon(resources_->small_icon);
  resources_->big_icon = big;
  resources_->small_icon = small;
}

TWinControl* TForm::ActiveControl() const {
  if (!HandleAllocated()) return active_control_;
  HWND hwnd = Hwnd(const_cast<TForm*>(this)->Handle());
  for (HWND candidate : {GetFocus(), win32::SavedFocus(hwnd)}) {
    if (candidate && IsChild(hwnd, candidate)) {
      if (TWinControl* control = ControlOf(candidate)) return control;
    }
  }
  return active_control_;
}

NativeWindow TForm::CreateHandle(NativeWindow) {
  RECT frame{0, 0, Width(), Height()};
  AdjustWindowRectEx(&frame, FrameStyle(*this), FALSE, 0);
  HWND hwnd = CreateWindowExW(0, win32::kFormClass, win32::ToWide(caption_).c_str(),
                              FrameStyle(*this), CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) throw EOutOfResources("ウィンドウを作成できません");
  return Native(hwnd);
}

void TForm::HandleCreated() {
  HWND hwnd = Hwnd(Handle());
  const LONG_PTR state =
      GetWindowLongPtrW(hwnd, GWL_STYLE) & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_DISABLED);
  SetWindowLongPtrW(hwnd, GWL_STYLE, state | FrameStyle(*this));
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(hwnd, win32::ToWide(caption_).c_str());
  EnumChildWindows(hwnd, SetFontOfChild, reinterpret_cast<LPARAM>(resources_->font));
  if (resources_->big_icon) {
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(resources_->big_icon));
  }
  if (resources_->small_icon) {
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(resources_->small_icon));
  }
  ApplySize();
}

void TForm::BoundsChanged() {
  if (HandleAllocated()) ApplySize();
  TWinControl::BoundsChanged();
}

void TForm::ApplySize() {
  HWND hwnd = Hwnd(Handle());
  RECT frame{0, 0, Width(), Height()};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
  int outer_width = frame.right - frame.left;
  int outer_height = frame.bottom - frame.top;
  SetWindowPos(hwnd, nullptr, 0, 0, outer_width, outer_height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A frame that turned out other than computed (a caption of another height) is corrected
  // once, so that the client area has exactly the size asked for.
  RECT client{};
  GetClientRect(hwnd, &client);
  const int dx = Width() - (client.right - client.left);
  const int dy = Height() - (client.bottom - client.top);
  if (dx != 0 || dy != 0) {
    SetWindowPos(hwnd, nullptr, 0, 0, outer_width + dx, outer_height + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::Show() { FormWindow::ShowAs(*this, SW_SHOW); }

void win32::ShowMainForm(TForm& form, int show_command) { FormWindow::ShowAs(form, show_command); }

void TForm::PlaceOnScreen() {
  HWND hwnd = Hwnd(Handle());
  if (Position != TPosition::poScreenCenter) {
    SetWindowPos(hwnd, nullptr, Left(), Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  // Centred in the primary monitor's work area (without the task bar); a window larger than
  // the area keeps its caption inside it.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  const RECT& area = monitor.rcWork;
  RECT frame{};
  GetWindowRect(hwnd, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = std::max({0L, area.left, area.left + (area.right - area.left - width) / 2});
  const int top = std::max({0L, area.top, area.top + (area.bottom - area.top - height) / 2});
  SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Close() {
  if (HandleAllocated()) SendMessageW(Hwnd(Handle()), WM_CLOSE, 0, 0);
}

bool TForm::Visible() const {
  return HandleAllocated() && IsWindowVisible(Hwnd(const_cast<TForm*>(this)->Handle()));
}

void TForm::Minimize() { ShowWindow(Hwnd(Handle()), SW_MINIMIZE); }

}  // namespace kel
