#include "gui/qt/folder_tree.h"

#include <QFileIconProvider>
#include <algorithm>
#include <vector>

#include "gui/qt/qt_text.h"
#include "platform/code_page.h"
#include "platform/directory_lookup.h"
#include "platform/exceptions.h"
#include "platform/file_info.h"

namespace kel {
namespace {

constexpr int kNameRole = Qt::UserRole + 1;       // QByteArray: the entry's own name
constexpr int kPathRole = Qt::UserRole + 2;       // QByteArray: the full path; none: virtual
constexpr int kPopulatedRole = Qt::UserRole + 3;  // bool: sub-folders have been read
constexpr char kComputerName[] = "コンピューター";

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), s.size()); }
std::string String(const QByteArray& b) { return std::string(b.constData(), b.size()); }

QStandardItem* MakeFolderItem(const QIcon& icon, const std::string& name, const std::string& path) {
  auto* item = new QStandardItem(icon, ToQString(name));
  item->setEditable(false);
  item->setData(Bytes(name), kNameRole);
  item->setData(Bytes(path), kPathRole);
  item->setData(false, kPopulatedRole);
  return item;
}

bool IsUnreadFolder(const QStandardItem* item) {
  return item && item->data(kPathRole).isValid() && !item->data(kPopulatedRole).toBool();
}

std::string ChildPath(const std::string& folder, const std::string& name) {
  return folder == "/" ? folder + name : folder + "/" + name;
}

// The visible sub-folder names of `folder` in the order the user expects (case-insensitive
// under the locale). A folder that cannot be read has none.
std::vector<std::string> ListSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  DirectoryLookup lookup;
  FindRecord record;
  for (bool found = lookup.FindFirst(ChildPath(folder, "*"), record); found;
       found = lookup.FindNext(record)) {
    const std::string& name = record.long_name;
    if ((record.attributes & kAttrDirectory) == 0 || name == "." || name == "..") continue;
    if (name.front() == '.') continue;  // hidden, as the shell hides hidden folders
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = AnsiCompareText(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  return names;
}

}  // namespace

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QStandardItemModel(parent),
      folder_icon_(QFileIconProvider().icon(QFileIconProvider::Folder)) {
  auto* computer = new QStandardItem(QFileIconProvider().icon(QFileIconProvider::Computer),
                                     QString::fromUtf8(kComputerName));
  computer->setEditable(false);
  computer->setData(QByteArray(kComputerName), kNameRole);
  computer->appendRow(MakeFolderItem(folder_icon_, "/", "/"));
  appendRow(computer);
}

QModelIndex FolderTreeModel::ComputerIndex() const { return index(0, 0); }

ItemIdList FolderTreeModel::ItemAt(const QModelIndex& index) const {
  const QStandardItem* item = itemFromIndex(index.isValid() ? index : ComputerIndex());
  ItemIdList result;
  result.display_name = String(item->data(kNameRole).toByteArray());
  const QVariant path = item->data(kPathRole);
  result.computer = !path.isValid();
  if (path.isValid()) result.path = String(path.toByteArray());
  return result;
}

QModelIndex FolderTreeModel::IndexOfPath(const std::string& path) {
  if (path.empty() || path.front() != '/') return {};
  std::string full;
  try {
    full = ExpandFileName(path);
  } catch (const Exception&) {
    return {};  // longer than any path can be
  }
  if (!DirectoryExists(full)) return {};
  QStandardItem* item = itemFromIndex(ComputerIndex())->child(0);
  std::string so_far = "/";
  std::size_t start = 1;
  while (start < full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string name = full.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    so_far = ChildPath(so_far, name);
    QStandardItem* child = ChildNamed(item, name);
    if (!child) {
      // Hidden, or made after the folder was read: add it where it sorts.
      child = MakeFolderItem(folder_icon_, name, so_far);
      int row = 0;
      while (row < item->rowCount() &&
             AnsiCompareText(String(item->child(row)->data(kNameRole).toByteArray()), name) < 0) {
        ++row;
      }
      item->insertRow(row, child);
    }
    item = child;
  }
  return indexFromItem(item);
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  if (IsUnreadFolder(itemFromIndex(parent))) return true;
  return QStandardItemModel::hasChildren(parent);
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  return IsUnreadFolder(itemFromIndex(parent));
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  if (QStandardItem* item = itemFromIndex(parent)) Populate(item);
}

void FolderTreeModel::Populate(QStandardItem* folder) {
  if (!IsUnreadFolder(folder)) return;
  folder->setData(true, kPopulatedRole);
  const std::string path = String(folder->data(kPathRole).toByteArray());
  QList<QStandardItem*> rows;
  for (const std::string& name : ListSubfolders(path)) {
    rows.append(MakeFolderItem(folder_icon_, name, ChildPath(path, name)));
  }
  if (!rows.isEmpty()) folder->appendRows(rows);
}

QStandardItem* FolderTreeModel::ChildNamed(QStandardItem* folder, const std::string& name) {
  Populate(folder);
  const QByteArray wanted = Bytes(name);
  for (int row = 0; row < folder->rowCount(); ++row) {
    if (folder->child(row)->data(kNameRole).toByteArray() == wanted) return folder->child(row);
  }
  return nullptr;
}

}  // namespace kel
