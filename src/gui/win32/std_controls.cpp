#include "gui/std_controls.h"

#include <windows.h>

#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"
#include "platform/win32/wide_text.h"

namespace kel {

using win32::Hwnd;
using win32::Native;

namespace {

// What the user can type into the field at most: as many characters as QLineEdit holds. (Text
// set by the program is not cut.)
constexpr WPARAM kEditLimit = 32767;

}  // namespace

TButton::TButton(TComponent* owner) : TWinControl(owner) {}

void TButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) SetWindowTextW(Hwnd(Handle()), win32::ToWide(caption_).c_str());
}

void TButton::Click() {
  CallHandler([this] {
    if (OnClick) OnClick(this);
  });
}

NativeWindow TButton::CreateHandle(NativeWindow parent) {
  // A plain push button: no button is the window's default, but the focused one takes Enter as
  // in every dialog. Its clicks reach the form as BN_CLICKED commands, which the form hands to
  // Click.
  return Native(win32::CreateControlWindow(L"BUTTON", 0, BS_PUSHBUTTON, win32::ToWide(caption_),
                                           *this, parent));
}

// ---------------------------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {}

std::string TEdit::Text() const {
  if (!HandleAllocated()) return text_;
  return win32::FromWide(win32::WindowText(Hwnd(const_cast<TEdit*>(this)->Handle())));
}

void TEdit::SetText(const std::string& text) {
  text_ = text;
  if (HandleAllocated()) SetWindowTextW(Hwnd(Handle()), win32::ToWide(text_).c_str());
}

bool TEdit::Holds(std::string_view text) {
  // The window keeps UTF-16 up to the first zero.
  if (text.find('\0') != std::string_view::npos) return false;
  const std::optional<std::wstring> wide = win32::WideFromText(text);
  if (!wide) return false;
  const std::optional<std::string> back = win32::TextFromWide(*wide);
  return back && *back == text;
}

NativeWindow TEdit::CreateHandle(NativeWindow parent) {
  return Native(win32::CreateControlWindow(L"EDIT", WS_EX_CLIENTEDGE, ES_LEFT | ES_AUTOHSCROLL,
                                           std::wstring(), *this, parent));
}

void TEdit::HandleCreated() {
  HWND hwnd = Hwnd(Handle());
  SendMessageW(hwnd, EM_SETLIMITTEXT, kEditLimit, 0);
  SetWindowTextW(hwnd, win32::ToWide(text_).c_str());
}

// ---------------------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) SetWindowTextW(Hwnd(Handle()), win32::ToWide(caption_).c_str());
}

NativeWindow TPanel::CreateHandle(NativeWindow parent) {
  return Native(
      win32::CreateControlWindow(win32::kPanelClass, 0, 0, win32::ToWide(caption_), *this, parent));
}

namespace {

// The panel's face: button face, a raised bevel one pixel wide, the caption centred both ways.
void PaintPanel(HWND hwnd, HDC dc) {
  RECT area;
  GetClientRect(hwnd, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &area, BDR_RAISEDINNER, BF_RECT);
  std::wstring text;
  try {
    text = win32::WindowText(hwnd);
  } catch (...) {
    // No exception unwinds through the system's frames; the bevel is drawn all the same.
  }
  auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, 0));
  HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (old_font) SelectObject(dc, old_font);
}

}  // namespace

// The panel's own window class: none of the system's static styles draws a raised one-pixel
// bevel around text centred both ways.
LRESULT CALLBACK win32::PanelWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      PaintPanel(hwnd, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintPanel(hwnd, reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_SETFONT:
      SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(wparam));
      if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = DefWindowProcW(hwnd, msg, wparam, lparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

}  // namespace kel
