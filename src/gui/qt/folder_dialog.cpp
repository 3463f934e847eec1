#include "gui/qt/folder_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

#include "gui/qt/folder_tree.h"
#include "gui/qt/qt_text.h"
#include "gui/qt/qt_window.h"

namespace kel {
namespace {

QString TextOf(LParam lparam) {
  return lparam ? ToQString(reinterpret_cast<const char*>(lparam)) : QString();
}

}  // namespace

std::unique_ptr<ItemIdList> BrowseForFolder(const BrowseInfo& info) {
  // The dialog is a child of its owner; if the owner goes during the modal loop, so does the
  // dialog, and the guard tells.
  QPointer<FolderDialog> dialog(new FolderDialog(info));
  const int result = dialog->exec();
  if (dialog.isNull()) return nullptr;
  std::unique_ptr<FolderDialog> owned(dialog.data());
  const std::exception_ptr error = owned->TakeError();
  std::unique_ptr<ItemIdList> chosen;
  if (result == QDialog::Accepted && !error) {
    chosen = std::make_unique<ItemIdList>(owned->CurrentItem());
  }
  owned.reset();
  if (error) std::rethrow_exception(error);
  return chosen;
}

FolderDialog::FolderDialog(const BrowseInfo& info)
    : QDialog(Widget(info.owner)),
      callback_(info.callback),
      data_(info.data),
      flags_(info.flags),
      model_(new FolderTreeModel(this)),
      tree_(new QTreeView(this)),
      title_(new QLabel(TextOf(reinterpret_cast<LParam>(info.title)), this)),
      status_(new QLabel(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QString::fromUtf8("キャンセル"), this)) {
  setWindowTitle(QString::fromUtf8("フォルダーの参照"));
  setObjectName(QStringLiteral("folderDialog"));
  title_->setObjectName(QStringLiteral("title"));
  title_->setWordWrap(true);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  status_->setVisible((flags_ & kBifStatusText) != 0);
  tree_->setObjectName(QStringLiteral("folderTree"));
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  ok_->setObjectName(QStringLiteral("ok"));
  ok_->setDefault(true);
  cancel_->setObjectName(QStringLiteral("cancel"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addWidget(status_);
  layout->addWidget(tree_, 1);
  layout->addLayout(buttons);
  resize(360, 420);

  // The first selection is the computer item; the callback hears of it after kBffmInitialized.
  tree_->setCurrentIndex(model_->ComputerIndex());
  tree_->expand(model_->ComputerIndex());
  ok_->setEnabled(AllowsOk(CurrentItem()));
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { SelectionChanged(); });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

FolderDialog::~FolderDialog() {
  // The tree and its model go after this part of the object; no selection news may reach it.
  disconnect(tree_->selectionModel(), nullptr, this, nullptr);
}

FolderDialog* FolderDialog::Active() {
  return dynamic_cast<FolderDialog*>(QApplication::activeModalWidget());
}

LResult FolderDialog::Perform(unsigned msg, WParam wparam, LParam lparam) {
  switch (msg) {
    case kBffmSetStatusTextA:
      status_->setText(TextOf(lparam));
      return 0;
    case kBffmEnableOk:
      ok_->setEnabled(lparam != 0);
      return 0;
    case kBffmSetSelectionA:
      if (wparam != 0) return lparam != 0 && SelectPath(reinterpret_cast<const char*>(lparam));
      if (lparam == 0) return 0;
      if (reinterpret_cast<const ItemIdList*>(lparam)->computer) {
        SelectComputer();
        return 1;
      }
      return SelectPath(reinterpret_cast<const ItemIdList*>(lparam)->path);
    default:
      return 0;
  }
}

bool FolderDialog::SelectPath(const std::string& path) {
  const QModelIndex index = model_->IndexOfPath(path);
  if (!index.isValid()) return false;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  return true;
}

void FolderDialog::SelectComputer() { tree_->setCurrentIndex(model_->ComputerIndex()); }

ItemIdList FolderDialog::CurrentItem() const { return model_->ItemAt(tree_->currentIndex()); }

std::exception_ptr FolderDialog::TakeError() { return std::exchange(error_, nullptr); }

void FolderDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Posted, so that the callback runs inside the modal loop, where closing the dialog works.
  if (!init_posted_) {
    init_posted_ = true;
    QTimer::singleShot(0, this, [this] { Initialize(); });
  }
}

void FolderDialog::Initialize() {
  selection_notified_ = false;
  Notify(kBffmInitialized, 0);
  // The callback hears of the first selection too, unless its answer already moved it.
  if (!selection_notified_) SelectionChanged();
  initialized_ = true;
}

void FolderDialog::SelectionChanged() {
  selection_notified_ = true;
  const ItemIdList item = CurrentItem();
  // Each selection starts from what the flags allow; the callback may then change it.
  ok_->setEnabled(AllowsOk(item));
  Notify(kBffmSelChanged, reinterpret_cast<LParam>(&item));
}

void FolderDialog::Notify(unsigned msg, LParam lparam) {
  if (callback_ == nullptr || error_) return;
  try {
    callback_(this, msg, lparam, data_);
  } catch (...) {
    // Unwinding through Qt's frames is not allowed; BrowseForFolder rethrows it.
    error_ = std::current_exception();
    reject();
  }
}

bool FolderDialog::AllowsOk(const ItemIdList& item) const {
  bool allowed = true;
  if (flags_ & kBifReturnOnlyFsDirs) allowed = allowed && !item.path.empty();
  if (flags_ & kBifBrowseForComputer) allowed = allowed && item.computer;
  if (flags_ & kBifBrowseForPrinter) allowed = false;  // the tree holds no printers
  return allowed;
}

}  // namespace kel
