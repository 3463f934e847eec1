// The shell's folder dialog (SHBrowseForFolderW) driven from a test: a timer of the GUI thread,
// which keeps firing inside the dialog's modal loop, looks for the dialog among the thread's
// windows and hands it to the action once it is up. The action answers it through the shell's
// own messages and controls (ids 0x3741-0x3743 are the same on Windows and on Wine).
#include <gtest/gtest.h>
#include <windows.h>
// clang-format off: the system headers below need <windows.h> before them.
#include <commctrl.h>
#include <shlobj.h>
// clang-format on

#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/wide_text.h"
#include "window/window_driver.h"

namespace kel::test {
namespace {

constexpr int kTreeId = 0x3741;
constexpr int kTitleId = 0x3742;
constexpr int kStatusId = 0x3743;

// What a window shows, in the program's code page ("<U+XXXX>" for a character without a form).
std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return win32::DescribeWide(text);
}

// Delivers what is waiting in the thread's queue (posted answers, repaints), as the message loop
// would before the user's next step.
void Settle() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The name the tree shows for the folder `path` (wide), or nothing when the shell has no such item.
std::optional<std::wstring> DisplayNameOf(const std::wstring& path) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr))) return std::nullopt;
  PWSTR name = nullptr;
  const HRESULT result = SHGetNameFromIDList(list, SIGDN_NORMALDISPLAY, &name);
  CoTaskMemFree(list);
  if (FAILED(result)) return std::nullopt;
  std::wstring copy = name;
  CoTaskMemFree(name);
  return copy;
}

class ShellDialogDriver final : public FolderDialogDriver {
 public:
  explicit ShellDialogDriver(HWND dialog) : dialog_(dialog) {}

  // The shell does not say whether it found the folder; the tree's selection does.
  bool SelectPath(const std::string& path) override {
    const std::optional<std::wstring> wide = win32::WideFromText(path);
    if (!wide) return false;
    const std::optional<std::wstring> name = DisplayNameOf(*wide);
    SendMessageW(dialog_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide->c_str()));
    Settle();
    return name && SelectedTreeText() == *name;
  }

  void SelectItemWithoutPath() override {
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)));
    SendMessageW(dialog_, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer));
    CoTaskMemFree(computer);
    Settle();
  }

  std::string Title() override { return TextOf(GetDlgItem(dialog_, kTitleId)); }

  // What the user sees of the status line: nothing while it is hidden (without BIF_STATUSTEXT).
  std::string StatusText() override {
    const HWND status = GetDlgItem(dialog_, kStatusId);
    return IsWindowVisible(status) ? TextOf(status) : std::string();
  }

  bool OkEnabled() override { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != FALSE; }

  // A click, which a disabled button does not take.
  void Ok() override { Click(IDOK); }
  void Cancel() override { Click(IDCANCEL); }

 private:
  void Click(int id) {
    const HWND button = GetDlgItem(dialog_, id);
    if (IsWindowEnabled(button)) SendMessageW(button, BM_CLICK, 0, 0);
    Settle();
  }

  std::wstring SelectedTreeText() {
    const HWND tree = GetDlgItem(dialog_, kTreeId);
    wchar_t text[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (item.hItem == nullptr ||
        !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
      return {};
    return text;
  }

  HWND dialog_;
};

// The thread's open folder dialog: a dialog box (class #32770) with the shell's folder tree; a
// message box has none.
HWND FindFolderDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, static_cast<int>(std::size(name)));
        if (std::wstring(name) != L"#32770" || GetDlgItem(window, kTreeId) == nullptr) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// One armed WhenFolderDialogOpens: a hidden message window carries the timer and this record,
// and goes with it once the action ran or the time ran out.
struct Watch {
  std::function<void(FolderDialogDriver&)> action;
  DWORD start = GetTickCount();
  DWORD timeout_ms;
  bool acting = false;
};

constexpr UINT_PTR kPollTimer = 1;

// A dialog that was ended (EndDialog hides it at once) keeps its answer.
void CancelIfOpen(HWND dialog) {
  if (IsWindow(dialog) && IsWindowVisible(dialog))
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void CALLBACK Poll(HWND window, UINT, UINT_PTR, DWORD) {
  auto* watch = reinterpret_cast<Watch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // The action's own waiting delivers this timer again.
  if (watch == nullptr || watch->acting) return;
  const HWND dialog = FindFolderDialog();
  // BFFM_INITIALIZED comes during WM_INITDIALOG, before the dialog is shown: a dialog that shows
  // and takes input has had it answered.
  const bool ready = dialog != nullptr && IsWindowVisible(dialog) && IsWindowEnabled(dialog);
  if (!ready && GetTickCount() - watch->start < watch->timeout_ms) return;
  KillTimer(window, kPollTimer);
  watch->acting = true;
  if (!ready) {
    ADD_FAILURE() << "no folder dialog got ready within " << watch->timeout_ms << " ms";
  } else {
    Settle();
    ShellDialogDriver driver(dialog);
    // Nothing may unwind through the dialog's modal loop below.
    try {
      watch->action(driver);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "the dialog's action threw: " << e.what();
    } catch (...) {
      ADD_FAILURE() << "the dialog's action threw";
    }
  }
  CancelIfOpen(dialog);
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  delete watch;
}

}  // namespace

void WhenFolderDialogOpens(std::function<void(FolderDialogDriver&)> action, int timeout_ms) {
  const HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  auto watch = std::make_unique<Watch>();
  watch->action = std::move(action);
  watch->timeout_ms = static_cast<DWORD>(timeout_ms);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(watch.get()));
  if (SetTimer(window, kPollTimer, 10, &Poll) == 0) {
    DestroyWindow(window);
    FAIL() << "no timer for the folder dialog";
  }
  watch.release();  // the timer's window owns it now
}

}  // namespace kel::test
