// The application object on Win32: the window classes, Run's message loop, the message
// processing step and the program's file name.
// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "gui/application.h"

#include "gui/form.h"
#include "gui/win32/win32_text.h"
#include "gui/win32/win32_window.h"
#include "platform/exceptions.h"

namespace kel {

using win32::Hwnd;
using win32::Native;

std::string ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "kelvarin.exe";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return win32::FromWide(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

namespace {

// The show command the program was started with (the shortcut's "Run: maximised/minimised"),
// as far as the main window honours it.
int StartupShowCommand() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  if (!(startup.dwFlags & STARTF_USESHOWWINDOW)) return SW_SHOWNORMAL;
  switch (startup.wShowWindow) {
    case SW_SHOWMAXIMIZED:
    case SW_SHOWMINNOACTIVE:
      return startup.wShowWindow;
    default:
      return SW_SHOWNORMAL;
  }
}

// Dispatches one message. Keys for a form go through the dialog manager first, which moves
// the focus with Tab (and the arrow keys) through the controls in Tab order; Enter and Esc
// become IDOK and IDCANCEL commands that the form ignores.
void Dispatch(MSG& msg) {
  HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (top && dynamic_cast<TForm*>(win32::ControlOf(top)) && IsDialogMessageW(top, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

// Win32 keeps what the loop needs in the thread's message queue; the window classes stay
// registered for the life of the program.
struct TApplication::Toolkit {};

TApplication::TApplication() : TComponent(nullptr), toolkit_(std::make_unique<Toolkit>()) {}

TApplication::~TApplication() { Shutdown(); }

void TApplication::Initialize(int&, char**) {
  terminated_ = false;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
  if (!win32::RegisterWindowClasses()) {
    throw EOutOfResources("ウィンドウクラスを登録できません");
  }
}

void TApplication::SetIcon(const TIcon& icon) {
  // Windows without an icon of their own show the window class's icon, the program's icon
  // resource (win32_window.cpp). A form made from now on without an icon shows this one.
  if (icon.ResourceName.empty()) return;
  const std::wstring name = win32::ToWide(icon.ResourceName);
  auto big = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), name.c_str(), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                           LR_SHARED));
  auto small = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), name.c_str(), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (!big && !small) return;
  for (int i = 0; i < ComponentCount(); ++i) {
    auto* form = dynamic_cast<TForm*>(Components(i));
    if (!form || !form->HandleAllocated()) continue;
    HWND hwnd = Hwnd(form->Handle());
    // The class's icon serves every window of the class, made now or later.
    if (big) SetClassLongPtrW(hwnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(big));
    if (small) SetClassLongPtrW(hwnd, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small));
    break;
  }
}

void TApplication::Run() {
  if (!main_form_) return;
  win32::ShowMainForm(*main_form_, StartupShowCommand());
  MSG msg;
  while (!terminated_) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    Dispatch(msg);
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // Only marks the end: Run's loop stops once control is back in it.
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      continue;
    }
    Dispatch(msg);
  }
}

void TApplication::Terminate() {
  // Nested loops (a message box, the folder dialog) go on; Run's loop sees the mark when
  // control returns to it.
  terminated_ = true;
}

void TApplication::Shutdown() noexcept {
  DestroyComponents();
  main_form_ = nullptr;
  terminated_ = false;
}

NativeWindow TApplication::ActiveWindow() const { return Native(GetActiveWindow()); }

void TApplication::CancelMouseCapture() noexcept {
  if (HWND capture = GetCapture()) {
    SendMessageW(capture, WM_CANCELMODE, 0, 0);
    if (GetCapture() == capture) ReleaseCapture();
  }
}

}  // namespace kel
