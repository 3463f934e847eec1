#include "gui/browse_protocol.h"

namespace kel {

LResult SendBrowseMessage(BrowseWindowHandle window, unsigned msg, WParam wparam, LParam lparam) {
  return window ? window->Perform(msg, wparam, lparam) : 0;
}

bool GetPathFromIDList(const ItemIdList* item, std::string& path) {
  path = item ? item->path : std::string();
  return !path.empty();
}

}  // namespace kel
