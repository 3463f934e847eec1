#include "gui/win32/win32_window.h"

#include <algorithm>

#include "platform/exceptions.h"

namespace kel::win32 {

namespace {

constexpr wchar_t kControlProperty[] = L"Kelvarin.Control";
constexpr wchar_t kFocusProperty[] = L"Kelvarin.Focus";
// Child window identifiers start above IDOK (1) and IDCANCEL (2): the dialog manager sends
// Enter and Esc as commands of those numbers together with the child of that number, which
// must never be one of the controls.
constexpr int kFirstControlId = 100;

HICON ProgramIcon(int metric_x, int metric_y) {
  // Shared: the system keeps the icon for the life of the program.
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON,
                                       GetSystemMetrics(metric_x), GetSystemMetrics(metric_y),
                                       LR_SHARED));
}

bool Register(WNDCLASSEXW window_class) {
  window_class.cbSize = sizeof window_class;
  window_class.hInstance = GetModuleHandleW(nullptr);
  if (!window_class.hCursor) window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool RegisterWindowClasses() noexcept {
  WNDCLASSEXW form{};
  form.lpfnWndProc = FormWindowProc;
  form.lpszClassName = kFormClass;
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // Windows without an icon of their own show the program's (none without the resource).
  form.hIcon = ProgramIcon(SM_CXICON, SM_CYICON);
  form.hIconSm = ProgramIcon(SM_CXSMICON, SM_CYSMICON);

  WNDCLASSEXW panel{};
  panel.lpfnWndProc = PanelWindowProc;
  panel.lpszClassName = kPanelClass;
  panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panel.cbWndExtra = sizeof(LONG_PTR);  // the font

  WNDCLASSEXW ticker{};
  ticker.lpfnWndProc = TickerWindowProc;
  ticker.lpszClassName = kTickerClass;

  return Register(form) && Register(panel) && Register(ticker);
}

TWinControl* ControlOf(HWND hwnd) noexcept {
  return hwnd ? static_cast<TWinControl*>(GetPropW(hwnd, kControlProperty)) : nullptr;
}

void SetControlOf(HWND hwnd, TWinControl* control) noexcept {
  SetPropW(hwnd, kControlProperty, control);
}

void ForgetControlOf(HWND hwnd) noexcept { RemovePropW(hwnd, kControlProperty); }

HWND SavedFocus(HWND top) noexcept {
  return top ? static_cast<HWND>(GetPropW(top, kFocusProperty)) : nullptr;
}

void SetSavedFocus(HWND top, HWND child) noexcept {
  if (child) {
    SetPropW(top, kFocusProperty, child);
  } else {
    RemovePropW(top, kFocusProperty);
  }
}

void ForgetSavedFocus(HWND top) noexcept { RemovePropW(top, kFocusProperty); }

HWND CreateControlWindow(const wchar_t* window_class, DWORD ex_style, DWORD style,
                         const std::wstring& text, const TControl& control, NativeWindow parent) {
  int id = kFirstControlId;
  if (TWinControl* owner = control.Parent()) {
    for (int i = 0; i < owner->ControlCount() && owner->Controls(i) != &control; ++i) ++id;
  }
  HWND parent_window = parent ? Hwnd(parent) : HWND_MESSAGE;
  if (parent) style |= WS_VISIBLE;
  HWND hwnd = CreateWindowExW(
      ex_style, window_class, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, control.Left(),
      control.Top(), control.Width(), control.Height(), parent_window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) throw EOutOfResources("ウィンドウを作成できません");
  return hwnd;
}

}  // namespace kel::win32
