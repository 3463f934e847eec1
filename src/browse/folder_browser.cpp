#include "browse/folder_browser.h"

#include <memory>

#include "platform/exceptions.h"

namespace kel {

std::string BrowseInitialFolder;
TFolderChangeEvent BrowseChangeHandler;

namespace {

// Runs before the component base is built, so a refused owner leaves nothing behind.
TComponent* RequireWinControl(TComponent* owner) {
  if (dynamic_cast<TWinControl*>(owner) == nullptr) throw Exception("I need WinControl!!!");
  return owner;
}

}  // namespace

TFolderBrowser::TFolderBrowser(TComponent* AOwner)
    : TComponent(RequireWinControl(AOwner)),
      FParentHandle(static_cast<TWinControl*>(AOwner)->Handle()) {}

uint32_t BrowseFlagWord(TBrowseFlags flags) {
  uint32_t word = 0;
  if (flags.Contains(bfComputersOnly)) word |= kBifBrowseForComputer;
  if (flags.Contains(bfPrintersOnly)) word |= kBifBrowseForPrinter;
  if (flags.Contains(bfDirsOnly)) word |= kBifReturnOnlyFsDirs;
  if (flags.Contains(bfStatusText)) word |= kBifStatusText;
  return word;
}

bool TFolderBrowser::Execute() {
  // The dialog reads the title while it is open; a handler may change Title meanwhile.
  const std::string title_buffer = Title;
  BrowseInfo info;
  info.owner = FParentHandle;
  info.title = title_buffer.c_str();
  info.flags = BrowseFlagWord(BrowseFlags);
  info.callback = &BrowseCallback;
  info.data = 0;
  BrowseInitialFolder = Folder;
  BrowseChangeHandler = OnChangeFolder;
  const std::unique_ptr<ItemIdList> chosen = BrowseForFolder(info);
  if (!chosen) return false;
  std::string path;
  GetPathFromIDList(chosen.get(), path);  // an item without a path gives the empty string
  Folder = path;
  FolderOutsideCodePage = chosen->path_outside_code_page;
  return true;
}

namespace {

void SelectionChanged(BrowseWindowHandle Wnd, const ItemIdList* item) {
  int32_t EnabledOK = -1;
  std::string StatusText;
  std::string path;
  GetPathFromIDList(item, path);
  // A copy: the handler may start another Execute, which replaces the unit-wide one.
  const TFolderChangeEvent handler = BrowseChangeHandler;
  if (handler && !path.empty()) handler(path, EnabledOK, StatusText);
  if (EnabledOK != -1) {
    SendBrowseMessage(Wnd, kBffmEnableOk, static_cast<WParam>(EnabledOK), EnabledOK);
  }
  if (!StatusText.empty()) {
    SendBrowseMessage(Wnd, kBffmSetStatusTextA, static_cast<WParam>(EnabledOK),
                reinterpret_cast<LParam>(StatusText.c_str()));
  }
}

}  // namespace

int BrowseCallback(BrowseWindowHandle Wnd, unsigned uMsg, LParam lParam, LParam /*lpData*/) {
  if (uMsg == kBffmInitialized) {
    const std::string initial = BrowseInitialFolder;
    SendBrowseMessage(Wnd, kBffmSetSelectionA, 1, reinterpret_cast<LParam>(initial.c_str()));
  } else if (uMsg == kBffmSelChanged) {
    SelectionChanged(Wnd, reinterpret_cast<const ItemIdList*>(lParam));
  }
  return 0;
}

}  // namespace kel
