// The folder dialog behind BrowseForFolder: the title above a tree of folders, a status line,
// OK and Cancel. The tree's top item is the virtual "コンピューター" (a computer, no file-system
// path); it holds the root folder "/", whose sub-folders are read when a folder is first
// opened. Folders whose names begin with "." are left out of the listing but can still be
// selected by path.
//
// Object names, for tests that look the parts up: "folderDialog", "title", "status",
// "folderTree", "ok", "cancel".
#pragma once

#include <QDialog>
#include <exception>
#include <string>

#include "gui/browse_protocol.h"

class QLabel;
class QPushButton;
class QShowEvent;
class QTreeView;

namespace kel {

class FolderTreeModel;

// The dialog itself. Public beyond the protocol so that callers' tests can drive it: find the
// open one with Active(), wait for Initialized(), select, then click OK or Cancel.
class FolderDialog : public QDialog, public BrowseWindow {
 public:
  explicit FolderDialog(const BrowseInfo& info);
  ~FolderDialog() override;

  LResult Perform(unsigned msg, WParam wparam, LParam lparam) override;

  // The folder dialog that is the active modal window, or null.
  static FolderDialog* Active();
  // True once kBffmInitialized has been delivered and answered.
  bool Initialized() const { return initialized_; }

  // Selects and reveals the folder `path` (absolute, native syntax; "." and ".." are folded, a
  // trailing separator is allowed). False, selection unchanged, when it is no folder.
  bool SelectPath(const std::string& path);
  // Selects the virtual computer item.
  void SelectComputer();
  // The selected item.
  ItemIdList CurrentItem() const;

  QTreeView* Tree() const { return tree_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  QLabel* TitleLabel() const { return title_; }
  QLabel* StatusLabel() const { return status_; }

  // The exception a callback call threw (it closed the dialog), handed over once.
  std::exception_ptr TakeError();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Initialize();
  void SelectionChanged();
  void Notify(unsigned msg, LParam lparam);
  bool AllowsOk(const ItemIdList& item) const;

  BrowseCallbackProc callback_;
  LParam data_;
  uint32_t flags_;
  FolderTreeModel* model_;
  QTreeView* tree_;
  QLabel* title_;
  QLabel* status_;
  QPushButton* ok_;
  QPushButton* cancel_;
  std::exception_ptr error_;
  bool init_posted_ = false;
  bool initialized_ = false;
  bool selection_notified_ = false;
};

}  // namespace kel
