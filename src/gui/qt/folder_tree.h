// The folder dialog's tree: the virtual computer item on top, the root folder "/" inside it,
// and below that the sub-folders of each folder, read from disk when the folder is first
// opened (so a large or slow tree costs nothing until it is looked at). Names and paths are
// kept as the bytes the file system gives, so no name is changed by a text conversion.
#pragma once

#include <QIcon>
#include <QStandardItemModel>
#include <string>

#include "gui/browse_protocol.h"

namespace kel {

class FolderTreeModel : public QStandardItemModel {
 public:
  explicit FolderTreeModel(QObject* parent);

  QModelIndex ComputerIndex() const;
  // The item at `index`; the computer item for an invalid index.
  ItemIdList ItemAt(const QModelIndex& index) const;
  // The index of the folder `path` (absolute; "." and ".." folded), reading the folders on the
  // way; invalid when it does not name a folder. A hidden folder on the way is added.
  QModelIndex IndexOfPath(const std::string& path);

  // Folders not yet read report children so that the view offers to open them.
  bool hasChildren(const QModelIndex& parent) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  void Populate(QStandardItem* folder);
  QStandardItem* ChildNamed(QStandardItem* folder, const std::string& name);

  QIcon folder_icon_;
};

}  // namespace kel
