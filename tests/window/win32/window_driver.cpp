// The window tests' driver on Win32: input goes in as the system delivers a user's input (mouse
// and key messages through the program's own message processing), and what is shown is read
// from the windows themselves.
#include "window/window_driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "gui/application.h"
#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"
#include "platform/win32/wide_text.h"

namespace kel::test {

using win32::ControlOf;
using win32::Hwnd;

namespace {

constexpr wchar_t kLaterClass[] = L"KelvarinTestLater";

// Later's hidden window: one timer, then the action, then the window goes.
LRESULT CALLBACK LaterWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg != WM_TIMER) return DefWindowProcW(hwnd, msg, wparam, lparam);
  KillTimer(hwnd, wparam);
  std::unique_ptr<std::function<void()>> action(
      reinterpret_cast<std::function<void()>*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
  if (action) {
    try {
      (*action)();
    } catch (...) {
      ADD_FAILURE() << "an exception left an action of Later";
    }
  }
  return 0;
}

HWND WindowOf(TWinControl& control) { return Hwnd(control.Handle()); }

// Posts the message and lets the program's message processing deliver it, as with input.
void Deliver(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  PostMessageW(hwnd, msg, wparam, lparam);
  Application.ProcessMessages();
}

LPARAM KeyData(UINT virtual_key, bool release) {
  const UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
  LPARAM data = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
  if (release) data |= (1 << 30) | (static_cast<LPARAM>(1) << 31);
  return data;
}

}  // namespace

struct ToolkitSession::State {};

ToolkitSession::ToolkitSession(int& argc, char** argv) : state_(std::make_unique<State>()) {
  Application.Initialize(argc, argv);
  WNDCLASSEXW later{};
  later.cbSize = sizeof later;
  later.lpfnWndProc = LaterWindowProc;
  later.hInstance = GetModuleHandleW(nullptr);
  later.lpszClassName = kLaterClass;
  RegisterClassExW(&later);
}

ToolkitSession::~ToolkitSession() {
  Application.Shutdown();
  UnregisterClassW(kLaterClass, GetModuleHandleW(nullptr));
}

Shown ShownBy(TWinControl& control) {
  HWND hwnd = WindowOf(control);
  Shown shown;
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  if (control.Parent()) {
    // The outer rectangle in the parent's client coordinates.
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&outer), 2);
    shown.width = outer.right - outer.left;
    shown.height = outer.bottom - outer.top;
  } else {
    RECT client{};
    GetClientRect(hwnd, &client);
    shown.width = client.right - client.left;
    shown.height = client.bottom - client.top;
  }
  shown.left = outer.left;
  shown.top = outer.top;
  shown.text = win32::FromWide(win32::WindowText(hwnd));
  shown.visible = IsWindowVisible(hwnd) != FALSE;
  shown.enabled = IsWindowEnabled(hwnd) != FALSE;
  return shown;
}

Frame FrameOf(TForm& form) {
  HWND hwnd = WindowOf(form);
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  Frame frame;
  frame.resizable = (style & WS_THICKFRAME) != 0;
  frame.maximise_box = (style & WS_MAXIMIZEBOX) != 0;
  frame.minimise_box = (style & WS_MINIMIZEBOX) != 0;
  frame.system_menu = (style & WS_SYSMENU) != 0;
  // The window's own icon, or else its class's (the program's icon resource).
  frame.has_icon = SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0) != 0 ||
                   SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0) != 0 ||
                   GetClassLongPtrW(hwnd, GCLP_HICON) != 0;
  // The font the controls have, as the system resolved it.
  HWND sample = GetWindow(hwnd, GW_CHILD);
  auto font = reinterpret_cast<HFONT>(SendMessageW(sample ? sample : hwnd, WM_GETFONT, 0, 0));
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  frame.font_face = win32::BytesFromWide(face, CP_UTF8).value_or("?");
  frame.font_pixel_height = metrics.tmHeight - metrics.tmInternalLeading;
  return frame;
}

Area CentringArea() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& r = monitor.rcWork;
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TBitmap Capture(TForm& form) {
  HWND hwnd = WindowOf(form);
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT client{};
  GetClientRect(hwnd, &client);
  TBitmap shot = TBitmap::Make(client.right, client.bottom);
  // The window's surface as shown, its child windows included, read into a top-down 24-bit
  // device-independent bitmap: the layout of TBitmap.
  HDC window_dc = GetDC(hwnd);
  HDC dc = CreateCompatibleDC(window_dc);
  HBITMAP bitmap = CreateCompatibleBitmap(window_dc, shot.Width, shot.Height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, shot.Width, shot.Height, window_dc, 0, 0, SRCCOPY);
  SelectObject(dc, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.Width;
  info.bmiHeader.biHeight = -shot.Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  GetDIBits(dc, bitmap, 0, static_cast<UINT>(shot.Height), shot.Pixels.data(), &info,
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(hwnd, window_dc);
  return shot;
}

std::string Separator() { return "\\"; }

std::vector<TWinControl*> StackingOrder(TForm& form) {
  std::vector<TWinControl*> order;
  // The system lists the children from the top.
  for (HWND child = GetWindow(WindowOf(form), GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (TWinControl* control = ControlOf(child)) order.push_back(control);
  }
  std::reverse(order.begin(), order.end());
  return order;
}

void Click(TWinControl& control) {
  HWND hwnd = WindowOf(control);
  // The point a user would click, and the window the system would give the click to there:
  // a disabled or hidden child passes it to its parent.
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  POINT point{(outer.left + outer.right) / 2, (outer.top + outer.bottom) / 2};
  HWND target = hwnd;
  if (HWND parent = GetParent(hwnd)) {
    POINT in_parent = point;
    ScreenToClient(parent, &in_parent);
    target = ChildWindowFromPointEx(parent, in_parent, CWP_SKIPDISABLED | CWP_SKIPINVISIBLE);
    if (!target) target = parent;
  }
  ScreenToClient(target, &point);
  const LPARAM where = MAKELPARAM(point.x, point.y);
  Deliver(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
  Deliver(target, WM_LBUTTONUP, 0, where);
}

void Type(TWinControl& field, const std::string& text) {
  HWND hwnd = WindowOf(field);
  if (GetFocus() != hwnd) {
    SetFocus(hwnd);
    // The caret after the text, where a user clicking behind it would put it.
    SendMessageW(hwnd, EM_SETSEL, GetWindowTextLengthW(hwnd), GetWindowTextLengthW(hwnd));
    Application.ProcessMessages();
  }
  const std::optional<std::wstring> wide = win32::WideFromBytes(text, CP_UTF8);
  ASSERT_TRUE(wide) << "not UTF-8: " << text;
  for (wchar_t c : *wide) Deliver(GetFocus(), WM_CHAR, c, 1);
}

void Press(Key key) {
  UINT virtual_key = VK_TAB;
  switch (key) {
    case Key::Tab:
      virtual_key = VK_TAB;
      break;
    case Key::Enter:
      virtual_key = VK_RETURN;
      break;
    case Key::Escape:
      virtual_key = VK_ESCAPE;
      break;
    case Key::Space:
      virtual_key = VK_SPACE;
      break;
  }
  HWND focus = GetFocus();
  ASSERT_NE(focus, nullptr) << "no window has the focus";
  // Both through the message loop's own path: the dialog manager sees them first.
  Deliver(focus, WM_KEYDOWN, virtual_key, KeyData(virtual_key, false));
  Deliver(GetFocus() ? GetFocus() : focus, WM_KEYUP, virtual_key, KeyData(virtual_key, true));
}

TWinControl* FocusedControl(TForm& form) {
  HWND focus = GetFocus();
  if (!focus || !form.HandleAllocated() || !IsChild(WindowOf(form), focus)) return nullptr;
  return ControlOf(focus);
}

void CloseByUser(TForm& form) {
  // What the close box sends.
  SendMessageW(WindowOf(form), WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool ShowAndActivate(TForm& form) {
  form.Show();
  HWND hwnd = WindowOf(form);
  return WaitUntil([hwnd] { return GetActiveWindow() == hwnd && GetForegroundWindow() == hwnd; },
                   5000);
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
  for (;;) {
    Application.ProcessMessages();
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(1);
  }
}

void Wait(int ms) {
  WaitUntil([] { return false; }, ms);
}

void Later(std::function<void()> action, int delay_ms) {
  HWND hwnd = CreateWindowExW(0, kLaterClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hwnd, nullptr) << "no ToolkitSession";
  auto stored = std::make_unique<std::function<void()>>(std::move(action));
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(stored.release()));
  // The system's shortest period (10 ms) stands for "as soon as the loop turns".
  SetTimer(hwnd, 1, static_cast<UINT>(std::max(delay_ms, 0)), nullptr);
}

}  // namespace kel::test
