// The folder dialog of Windows: the shell's own (SHBrowseForFolderW), which speaks the dialog
// protocol itself. Here the protocol's narrow-text messages become the shell's wide-text ones,
// and the shell's item id lists become ItemIdLists in the program's code page.
#include <windows.h>
// clang-format off: the system headers below need <windows.h> before them.
#include <shlobj.h>
// clang-format on

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "gui/browse_protocol.h"
#include "gui/win32/com_apartment.h"
#include "platform/win32/wide_text.h"

namespace kel {
namespace {

// The protocol has the shell's numbers; only the text messages change their width here.
static_assert(kBffmInitialized == BFFM_INITIALIZED && kBffmSelChanged == BFFM_SELCHANGED);
static_assert(kBffmSetStatusTextA == BFFM_SETSTATUSTEXTA && kBffmEnableOk == BFFM_ENABLEOK &&
              kBffmSetSelectionA == BFFM_SETSELECTIONA);
static_assert(kBifReturnOnlyFsDirs == BIF_RETURNONLYFSDIRS && kBifStatusText == BIF_STATUSTEXT &&
              kBifBrowseForComputer == BIF_BROWSEFORCOMPUTER &&
              kBifBrowseForPrinter == BIF_BROWSEFORPRINTER);

// An id list the shell allocated for us, freed with the COM allocator.
struct TaskMemFree {
  void operator()(void* memory) const noexcept { CoTaskMemFree(memory); }
};
using OwnedIdList = std::unique_ptr<std::remove_pointer_t<PIDLIST_ABSOLUTE>, TaskMemFree>;

// The longest path the wide functions take, with its terminating zero.
constexpr DWORD kLongestPath = 32768;

OwnedIdList ComputerIdList() {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &list))) return nullptr;
  return OwnedIdList(list);
}

// What the protocol knows of a shell item. The path comes from SHGetPathFromIDListEx with room for
// the longest path, so a folder deeper than MAX_PATH keeps its whole path. A path that has no
// exact form in the program's code page counts as no path at all: the caller then sees an item it
// cannot take instead of a path to a different folder (code page 932 would turn "é" into "e").
ItemIdList ItemOf(PCIDLIST_ABSOLUTE list) {
  ItemIdList item;
  item.shell_item = list;
  std::wstring path(kLongestPath, L'\0');
  if (SHGetPathFromIDListEx(list, path.data(), kLongestPath, GPFIDL_DEFAULT)) {
    path.resize(path.find(L'\0'));
    std::optional<std::string> text = win32::TextFromWide(path);
    item.path_outside_code_page = !text && !path.empty();
    item.path = std::move(text).value_or(std::string());
  }
  const OwnedIdList computer = ComputerIdList();
  item.computer = computer && ILIsEqual(list, computer.get());
  // Only shown, so a character without a form may stand as "<U+XXXX>".
  PWSTR name = nullptr;
  if (SUCCEEDED(SHGetNameFromIDList(list, SIGDN_NORMALDISPLAY, &name))) {
    item.display_name = win32::DescribeWide(name);
    CoTaskMemFree(name);
  }
  return item;
}

// Text of the program's code page for the shell. Bytes that are no text there show as nothing
// rather than as other characters.
std::wstring WideOrEmpty(const char* text) {
  return text ? win32::WideFromText(text).value_or(std::wstring()) : std::wstring();
}

// The callback's BFFM_ENABLEOK for the current selection. Wine's dialog sets OK from the flags
// after the callback has answered a selection (Windows does so before), which would undo the
// answer at once; so the dialog's window procedure is wrapped while it is open, and the shell's
// own BFFM_ENABLEOK carries the callback's choice until the next selection.
class OkChoice {
 public:
  OkChoice() = default;
  OkChoice(const OkChoice&) = delete;
  OkChoice& operator=(const OkChoice&) = delete;
  ~OkChoice() { Detach(); }

  // Wraps `dialog`'s window procedure, once.
  void Attach(HWND dialog) {
    if (dialog_ != nullptr || !SetPropW(dialog, kProperty, this)) return;
    shell_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    if (shell_proc_ == nullptr) {
      RemovePropW(dialog, kProperty);
      return;
    }
    dialog_ = dialog;
  }
  void Choose(bool enabled) { choice_ = enabled; }
  void Forget() { choice_.reset(); }

 private:
  static constexpr wchar_t kProperty[] = L"Kelvarin.OkChoice";

  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* self = static_cast<OkChoice*>(GetPropW(window, kProperty));
    const WNDPROC shell_proc = self->shell_proc_;
    if (msg == BFFM_ENABLEOK && self->choice_) lparam = *self->choice_ ? 1 : 0;
    if (msg == WM_NCDESTROY) self->Detach();
    return CallWindowProcW(shell_proc, window, msg, wparam, lparam);
  }

  void Detach() {
    if (dialog_ == nullptr) return;
    SetWindowLongPtrW(dialog_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(shell_proc_));
    RemovePropW(dialog_, kProperty);
    dialog_ = nullptr;
  }

  HWND dialog_ = nullptr;
  WNDPROC shell_proc_ = nullptr;
  std::optional<bool> choice_;
};

// The open dialog as the caller's callback sees it: the messages it sends go to the shell's dialog
// window, what the dialog tells goes to the callback, and an exception from the callback closes
// the dialog and waits here until SHBrowseForFolderW has returned.
class ShellFolderDialog final : public BrowseWindow {
 public:
  explicit ShellFolderDialog(const BrowseInfo& info) : callback_(info.callback), data_(info.data) {}

  LResult Perform(unsigned msg, WParam wparam, LParam lparam) override {
    switch (msg) {
      case kBffmSetStatusTextA: {
        const std::wstring text = WideOrEmpty(reinterpret_cast<const char*>(lparam));
        return SendMessageW(window_, BFFM_SETSTATUSTEXTW, wparam,
                            reinterpret_cast<LPARAM>(text.c_str()));
      }
      case kBffmSetSelectionA:
        return wparam ? SelectPath(reinterpret_cast<const char*>(lparam))
                      : SelectItem(reinterpret_cast<const ItemIdList*>(lparam));
      case kBffmEnableOk:
        if (answering_selection_) ok_choice_.Choose(lparam != 0);
        return SendMessageW(window_, BFFM_ENABLEOK, wparam, lparam);
      default:
        // The shell's own message with its own arguments.
        return SendMessageW(window_, msg, wparam, lparam);
    }
  }

  // The shell's callback; `data` is the ShellFolderDialog. No exception leaves it: the shell's
  // frames are below.
  static int CALLBACK Callback(HWND window, UINT msg, LPARAM lparam, LPARAM data) {
    auto* self = reinterpret_cast<ShellFolderDialog*>(data);
    self->window_ = window;
    self->ok_choice_.Attach(window);
    // Once the callback failed the dialog is closing and the callback hears nothing more.
    if (self->callback_ == nullptr || self->error_) return 0;
    try {
      if (msg == BFFM_INITIALIZED) {
        self->callback_(self, kBffmInitialized, 0, self->data_);
      } else if (msg == BFFM_SELCHANGED) {
        const ItemIdList item = ItemOf(reinterpret_cast<PCIDLIST_ABSOLUTE>(lparam));
        self->ok_choice_.Forget();
        self->answering_selection_ = true;
        self->callback_(self, kBffmSelChanged, reinterpret_cast<LParam>(&item), self->data_);
      }
      // The shell's other news (BFFM_VALIDATEFAILED, BFFM_IUNKNOWN) come only with flags the
      // protocol does not have, and carry wide text or COM objects.
    } catch (...) {
      self->error_ = std::current_exception();
      // As the Cancel button does; posted, so the dialog ends even during its WM_INITDIALOG.
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    self->answering_selection_ = false;
    return 0;
  }

  std::exception_ptr Error() const { return error_; }

 private:
  // Selects the folder `path`. The shell may not reach a folder whose path is MAX_PATH or longer
  // (Wine's stops there): such a folder is then represented by its nearest ancestor that the shell
  // reaches, so that the user starts beside it rather than at the top of the tree.
  LResult SelectPath(const char* path) {
    if (path == nullptr) return 0;
    const std::optional<std::wstring> wide = win32::WideFromText(path);
    if (!wide) return 0;
    std::wstring reachable = *wide;
    while (!ShellParses(reachable) && reachable.size() >= MAX_PATH) {
      const std::size_t cut = reachable.find_last_of(L"\\/");
      if (cut == std::wstring::npos) break;
      reachable.resize(cut);
    }
    return SendMessageW(window_, BFFM_SETSELECTIONW, TRUE,
                        reinterpret_cast<LPARAM>(reachable.c_str()));
  }

  // Whether the shell knows the folder `path`. The parse also readies the path for Wine's
  // dialog, which looks a path up by comparing the shell's id lists of the folders along it with
  // those in its tree, access times included: parsing reads the folders along the path, and on
  // Linux (relatime) that moves the access time of one changed since it was last read, so the
  // dialog's own first parse would disagree with its tree. After one parse the times stay.
  static bool ShellParses(const std::wstring& path) {
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr))) return false;
    CoTaskMemFree(list);
    return true;
  }

  // An item of this dialog by its shell id list; one from elsewhere by its path, or as the
  // computer.
  LResult SelectItem(const ItemIdList* item) {
    if (item == nullptr) return 0;
    if (item->shell_item != nullptr) {
      return SendMessageW(window_, BFFM_SETSELECTIONW, FALSE,
                          reinterpret_cast<LPARAM>(item->shell_item));
    }
    if (!item->path.empty()) return SelectPath(item->path.c_str());
    if (!item->computer) return 0;
    const OwnedIdList computer = ComputerIdList();
    if (!computer) return 0;
    return SendMessageW(window_, BFFM_SETSELECTIONW, FALSE,
                        reinterpret_cast<LPARAM>(computer.get()));
  }

  BrowseCallbackProc callback_;
  LParam data_;
  HWND window_ = nullptr;
  OkChoice ok_choice_;
  bool answering_selection_ = false;
  std::exception_ptr error_;
};

}  // namespace

std::unique_ptr<ItemIdList> BrowseForFolder(const BrowseInfo& info) {
  // The shell's dialog needs the thread in a single-threaded apartment (a thread already in the
  // multithreaded one is left there; the dialog mostly works all the same).
  const win32::ComApartment com;
  std::optional<std::wstring> title;
  if (info.title != nullptr) title = WideOrEmpty(info.title);
  ShellFolderDialog dialog(info);
  wchar_t display_name[MAX_PATH] = {};  // the shell insists on it; ItemOf names the item
  BROWSEINFOW shell{};
  shell.hwndOwner = reinterpret_cast<HWND>(info.owner);
  shell.pszDisplayName = display_name;
  shell.lpszTitle = title ? title->c_str() : nullptr;
  shell.ulFlags = info.flags;
  shell.lpfn = &ShellFolderDialog::Callback;
  shell.lParam = reinterpret_cast<LPARAM>(&dialog);
  const OwnedIdList chosen(SHBrowseForFolderW(&shell));
  if (dialog.Error()) std::rethrow_exception(dialog.Error());
  // An owner destroyed meanwhile took the dialog with it: nothing was chosen.
  if (!chosen || (shell.hwndOwner != nullptr && !IsWindow(shell.hwndOwner))) return nullptr;
  auto item = std::make_unique<ItemIdList>(ItemOf(chosen.get()));
  item->shell_item = nullptr;  // the id list goes with `chosen`
  return item;
}

}  // namespace kel
