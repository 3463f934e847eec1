// What the Win32 backend's files share: the HWND behind the opaque NativeWindow, the control a
// window belongs to, the window classes of the backend and the child windows of the controls.
#pragma once

#include <windows.h>

#include <string>

#include "gui/component.h"
#include "gui/form.h"
#include "gui/native_window.h"

namespace kel::win32 {

inline HWND Hwnd(NativeWindow window) { return reinterpret_cast<HWND>(window); }
inline NativeWindow Native(HWND hwnd) { return reinterpret_cast<NativeWindow>(hwnd); }

// The window classes of the backend, registered by Application.Initialize.
inline constexpr wchar_t kFormClass[] = L"KelvarinForm";
inline constexpr wchar_t kPanelClass[] = L"KelvarinPanel";
inline constexpr wchar_t kTickerClass[] = L"KelvarinTicker";
LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK PanelWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK TickerWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Registers every class above; a class already registered (a second Initialize) is kept.
// False when a class cannot be registered.
bool RegisterWindowClasses() noexcept;

// The control whose window `hwnd` is; null for any other window (a message box, a dialog).
// Kept in a window property from the window's creation until its last message.
TWinControl* ControlOf(HWND hwnd) noexcept;
void SetControlOf(HWND hwnd, TWinControl* control) noexcept;
// Forgets the control of a window whose control is going away; its messages go to the default
// handling from then on.
void ForgetControlOf(HWND hwnd) noexcept;

// The child of the top-level window `top` that gets the focus back when `top` is activated
// (and that has it while `top` is active); null when none was recorded.
HWND SavedFocus(HWND top) noexcept;
void SetSavedFocus(HWND top, HWND child) noexcept;
// Removes the property that SetSavedFocus keeps on `top` (at its last message).
void ForgetSavedFocus(HWND top) noexcept;

// Shows `form`, the program's main window, as the program was started: `show_command` is the
// start-up show command (SW_SHOWNORMAL, SW_SHOWMAXIMIZED or SW_SHOWMINNOACTIVE), used for the
// first showing itself, so a window started minimised is never shown and activated first.
void ShowMainForm(TForm& form, int show_command);

// Makes the child window of `control` inside `parent` (null: no parent yet, a message-only
// window until it gets one), at the control's bounds, visible when it has a parent. Raises
// EOutOfResources("ウィンドウを作成できません") when the system refuses the window.
HWND CreateControlWindow(const wchar_t* window_class, DWORD ex_style, DWORD style,
                         const std::wstring& text, const TControl& control, NativeWindow parent);

}  // namespace kel::win32
