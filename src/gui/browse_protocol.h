// The folder dialog protocol, modelled on the shell's: the caller fills a BrowseInfo,
// BrowseForFolder shows the dialog modally and returns the confirmed item; while the dialog is
// open it calls the caller's callback with kBffmInitialized once it is up and kBffmSelChanged
// at every new selection, and the callback answers with SendBrowseMessage (status text, OK button,
// selection). The Qt backend has a dialog of its own that answers these messages; the Win32
// backend runs the shell's dialog and turns the messages into the shell's wide-text ones.
// The names stand apart from <shlobj.h>'s macros so that a Win32 source can include both.
//
// Everything runs on the GUI thread; the toolkit must be ready (Application.Initialize).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gui/native_window.h"

namespace kel {

// Message arguments and results of the dialog protocol, as wide as a pointer.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Flag word bits of BrowseInfo::flags.
constexpr uint32_t kBifReturnOnlyFsDirs = 0x0001;   // OK only for items with a path
constexpr uint32_t kBifStatusText = 0x0004;         // show the status line
constexpr uint32_t kBifBrowseForComputer = 0x1000;  // OK only for a computer
constexpr uint32_t kBifBrowseForPrinter = 0x2000;   // OK only for a printer

// Dialog to callback.
constexpr unsigned kBffmInitialized = 1;  // the dialog is up; lParam 0
constexpr unsigned kBffmSelChanged = 2;   // lParam: const ItemIdList* of the new selection
// Callback to dialog, with the numbers of the narrow-text messages (text in the system code
// page).
constexpr unsigned kBffmSetStatusTextA = 1124;  // lParam: zero-terminated text (or 0: empty)
constexpr unsigned kBffmEnableOk = 1125;        // lParam nonzero enables OK, zero disables it
// wParam nonzero: lParam is a zero-terminated path; wParam 0: lParam is a const ItemIdList*.
// Result 1 when the item was found and selected, 0 when the selection is unchanged (the
// shell's dialog answers 0 either way).
constexpr unsigned kBffmSetSelectionA = 1126;

// One item of the dialog's tree.
struct ItemIdList {
  std::string display_name;  // the name shown in the tree, in the system code page
  std::string path;          // the file-system path; empty for an item without one
  // The item has a file-system path that has no form in the program's code page ("café" under
  // code page 932): `path` is empty, as for an item without one, but the choice is no virtual
  // item to pass over in silence.
  bool path_outside_code_page = false;
  bool computer = false;  // the virtual computer item
  // The shell's own id list (Win32: a PCIDLIST_ABSOLUTE) where the item came from the shell's
  // dialog; null otherwise. Not owned.
  const void* shell_item = nullptr;
};

// A window that answers the dialog protocol's messages: the folder dialog, or a test's fake.
class BrowseWindow {
 public:
  virtual LResult Perform(unsigned msg, WParam wparam, LParam lparam) = 0;

 protected:
  ~BrowseWindow() = default;
};
using BrowseWindowHandle = BrowseWindow*;

// Delivers a message synchronously and returns the window's answer; 0 for a null window.
LResult SendBrowseMessage(BrowseWindowHandle window, unsigned msg, WParam wparam, LParam lparam);

// Called by the open dialog: the dialog, the message, its argument, BrowseInfo::data. The
// result is not used. An ItemIdList passed with kBffmSelChanged lives only during the call.
using BrowseCallbackProc = int (*)(BrowseWindowHandle window, unsigned msg, LParam lparam,
                                   LParam data);

struct BrowseInfo {
  NativeWindow owner = nullptr;           // the dialog is modal over it; may be null
  const char* title = nullptr;            // shown above the tree; read while the dialog is open
  uint32_t flags = 0;                     // kBif* bits
  BrowseCallbackProc callback = nullptr;  // may be null
  LParam data = 0;                        // handed to every callback call
};

// Shows the dialog modally and returns the item the user confirmed, or null when the user
// cancelled or the owner was destroyed meanwhile. The caller owns the result.
// An exception thrown by the callback closes the dialog at once (no further callback calls)
// and is rethrown here after the dialog is gone; no exception crosses a toolkit frame.
std::unique_ptr<ItemIdList> BrowseForFolder(const BrowseInfo& info);

// The file-system path of `item` into `path` (in the system code page; on Windows through
// SHGetPathFromIDListEx, so past MAX_PATH too); false and an empty path for a null item or
// one without a path.
bool GetPathFromIDList(const ItemIdList* item, std::string& path);

}  // namespace kel
