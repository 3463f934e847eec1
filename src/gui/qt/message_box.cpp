#include "gui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <cstdio>

#include "gui/qt/qt_text.h"
#include "gui/qt/qt_window.h"

namespace kel {

namespace {

QMessageBox::Icon IconFor(unsigned flags) {
  switch (flags & 0xF0) {
    case kMbIconError:
      return QMessageBox::Critical;
    case kMbIconQuestion:
      return QMessageBox::Question;
    case kMbIconWarning:
      return QMessageBox::Warning;
    case kMbIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The buttons of the flags with the result each one gives; the last is the one Esc or the
// close box means.
struct ButtonSet {
  std::vector<std::pair<QMessageBox::StandardButton, int>> buttons;
};

ButtonSet ButtonsFor(unsigned flags) {
  switch (flags & 0x0F) {
    case kMbOkCancel:
      return {{{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}}};
    case kMbYesNo:
      return {{{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}}};
    default:
      return {{{QMessageBox::Ok, kIdOk}}};
  }
}

int ShowQtBox(const MessageBoxRequest& request) {
  ButtonSet set = ButtonsFor(request.Flags);
  QPointer<QWidget> active = QApplication::activeWindow();
  QPointer<QWidget> focus = QApplication::focusWidget();

  QMessageBox box(IconFor(request.Flags), ToQString(request.Caption), ToQString(request.Text),
                  QMessageBox::NoButton, Widget(request.Owner));
  box.setTextFormat(Qt::PlainText);
  // Application-modal: every other window ignores input while the box is up.
  box.setWindowModality(Qt::ApplicationModal);
  for (const auto& [button, result] : set.buttons) box.addButton(button);
  box.setEscapeButton(set.buttons.back().first);
  box.exec();

  int result = set.buttons.back().second;
  for (const auto& [button, value] : set.buttons) {
    if (box.clickedButton() == box.button(button)) result = value;
  }
  if (active) active->activateWindow();
  if (focus) focus->setFocus(Qt::OtherFocusReason);
  return result;
}

}  // namespace

int ShowToolkitMessageBox(const MessageBoxRequest& request) {
  if (!QApplication::instance()) {
    // No window system to show it on: the text still reaches the user.
    std::fprintf(stderr, "%s: %s\n", request.Caption.c_str(), request.Text.c_str());
    return ButtonsFor(request.Flags).buttons.back().second;
  }
  return ShowQtBox(request);
}

}  // namespace kel
