// Drives the modal folder dialog from a test: arm the driver, then call whatever opens the
// dialog (TFolderBrowser::Execute, BrowseForFolder). Header-only, for every layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

#include "gui/qt/folder_dialog.h"
#include "gui/qt/qt_window.h"

namespace kel::test {

// Once a folder dialog is the active modal window and has finished its kBffmInitialized
// round, runs `action` on it from inside the modal loop. When the action leaves the dialog
// open it is cancelled, so a failed assertion never leaves a test hanging; so is a dialog
// that does not get ready within `timeout_ms`.
inline void WhenFolderDialogOpens(std::function<void(FolderDialog&)> action,
                                  int timeout_ms = 10000) {
  auto* poll = new QTimer(QCoreApplication::instance());
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, clock, action = std::move(action), timeout_ms] {
    FolderDialog* dialog = FolderDialog::Active();
    const bool ready = dialog != nullptr && dialog->Initialized();
    if (!ready && clock->elapsed() < timeout_ms) return;
    poll->stop();
    poll->deleteLater();
    if (!ready) {
      ADD_FAILURE() << "no folder dialog got ready within " << timeout_ms << " ms";
      if (dialog) dialog->reject();
      return;
    }
    action(*dialog);
    if (FolderDialog::Active() == dialog && dialog->isVisible()) dialog->reject();
  });
  poll->start();
}

}  // namespace kel::test
