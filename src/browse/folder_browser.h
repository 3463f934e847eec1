// TFolderBrowser: a non-visual component that lets the user pick a folder in the folder
// dialog, shown modally over the window that owns the component. While the dialog is open an
// optional OnChangeFolder handler hears of every selection that has a file-system path and may
// enable or disable OK and set the status line.
//
// Only one dialog of this unit can be open at a time: the open dialog's initial folder and
// change handler live in the unit-wide BrowseInitialFolder and BrowseChangeHandler.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "gui/browse_protocol.h"
#include "gui/component.h"

namespace kel {

enum TBrowseFlag : uint8_t { bfComputersOnly, bfPrintersOnly, bfDirsOnly, bfStatusText };

// A set of TBrowseFlag in one byte: bit n stands for the member of ordinal n.
class TBrowseFlags {
 public:
  constexpr TBrowseFlags() = default;
  constexpr TBrowseFlags(std::initializer_list<TBrowseFlag> flags) {
    for (TBrowseFlag flag : flags) Include(flag);
  }
  constexpr bool Contains(TBrowseFlag flag) const { return (bits_ >> flag) & 1u; }
  constexpr void Include(TBrowseFlag flag) { bits_ = static_cast<uint8_t>(bits_ | (1u << flag)); }
  constexpr void Exclude(TBrowseFlag flag) { bits_ = static_cast<uint8_t>(bits_ & ~(1u << flag)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint8_t Bits() const { return bits_; }
  friend constexpr bool operator==(TBrowseFlags, TBrowseFlags) = default;

 private:
  uint8_t bits_ = 0;
};
static_assert(sizeof(TBrowseFlags) == 1);

// Told of a new selection: its path; EnabledOK comes preset to -1 (leave OK as it is), 0 asks
// to disable OK, anything else to enable it; StatusText comes preset empty (leave the status
// line), any other text is shown.
using TFolderChangeEvent =
    std::function<void(const std::string& Folder, int32_t& EnabledOK, std::string& StatusText)>;

class TFolderBrowser : public TComponent {
 public:
  // Throws Exception("I need WinControl!!!") when `AOwner` is not a TWinControl (null
  // included); nothing is created then. Takes the owner's window handle, making the window if
  // it does not exist yet; the owner destroys the component.
  explicit TFolderBrowser(TComponent* AOwner);

  // Shows the dialog with `Folder` preselected. True when the user confirmed a selection:
  // `Folder` then holds its path, empty for an item without a file-system path. False when
  // the user cancelled or the owner's window went meanwhile: `Folder` is unchanged.
  // An exception from OnChangeFolder closes the dialog and leaves here; `Folder` is unchanged.
  bool Execute();

  // The owner's window, as taken by the constructor.
  NativeWindow ParentHandle() const { return FParentHandle; }

  TBrowseFlags BrowseFlags;
  // Before Execute the folder to preselect (passed whole, never cut); after a confirmed
  // Execute the chosen one.
  std::string Folder;
  // After a confirmed Execute: the chosen item has a file-system path that has no form in the
  // program's code page, so `Folder` is empty although a folder was chosen.
  bool FolderOutsideCodePage = false;
  std::string Title = "Select folder";
  TFolderChangeEvent OnChangeFolder;

 private:
  NativeWindow FParentHandle;
};

// The dialog's flag word for `flags`: bfComputersOnly 0x1000, bfPrintersOnly 0x2000,
// bfDirsOnly 0x0001, bfStatusText 0x0004, no other bit.
uint32_t BrowseFlagWord(TBrowseFlags flags);

// The dialog's callback while Execute's dialog is open. kBffmInitialized: preselects
// BrowseInitialFolder (also when empty). kBffmSelChanged: calls BrowseChangeHandler for a
// selection with a path and passes its EnabledOK and StatusText on to the dialog. Reads only
// the unit-wide state; `lpData` is not used. Returns 0; lets the handler's exceptions pass.
int BrowseCallback(BrowseWindowHandle Wnd, unsigned uMsg, LParam lParam, LParam lpData);

// Unit-wide state, set by each Execute and kept after it.
extern std::string BrowseInitialFolder;
extern TFolderChangeEvent BrowseChangeHandler;

}  // namespace kel
