// The window test driver on Qt: QTest's input, widgets read back, the offscreen platform.
#include "window/window_driver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <memory>

#include "browse/qt/folder_dialog_driver.h"
#include "gui/application.h"
#include "gui/qt/folder_dialog.h"
#include "gui/qt/qt_text.h"
#include "gui/qt/qt_window.h"

namespace kel::test {

namespace {

QWidget* WidgetOf(TWinControl& control) { return Widget(control.Handle()); }

TWinControl* ControlOf(TForm& form, const QWidget* widget) {
  for (int i = 0; i < form.ControlCount(); ++i) {
    auto* control = dynamic_cast<TWinControl*>(form.Controls(i));
    if (control && control->HandleAllocated() && WidgetOf(*control) == widget) return control;
  }
  return nullptr;
}

class QtFolderDialogDriver : public FolderDialogDriver {
 public:
  explicit QtFolderDialogDriver(FolderDialog& dialog) : dialog_(dialog) {}
  bool SelectPath(const std::string& path) override { return dialog_.SelectPath(path); }
  void SelectItemWithoutPath() override { dialog_.SelectComputer(); }
  std::string Title() override { return dialog_.TitleLabel()->text().toStdString(); }
  std::string StatusText() override { return dialog_.StatusLabel()->text().toStdString(); }
  bool OkEnabled() override { return dialog_.OkButton()->isEnabled(); }
  void Ok() override { QTest::mouseClick(dialog_.OkButton(), Qt::LeftButton); }
  void Cancel() override { QTest::mouseClick(dialog_.CancelButton(), Qt::LeftButton); }

 private:
  FolderDialog& dialog_;
};

}  // namespace

struct ToolkitSession::State {
  std::unique_ptr<QApplication> app;
};

ToolkitSession::ToolkitSession(int& argc, char** argv) : state_(std::make_unique<State>()) {
  // Without a display of its own the tests draw offscreen.
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  state_->app = std::make_unique<QApplication>(argc, argv);
}

ToolkitSession::~ToolkitSession() = default;

Shown ShownBy(TWinControl& control) {
  QWidget* w = WidgetOf(control);
  Shown shown;
  const bool top = w->isWindow();
  const QRect r = top ? QRect(w->pos(), w->size()) : w->geometry();
  shown.left = r.x();
  shown.top = r.y();
  shown.width = r.width();
  shown.height = r.height();
  if (auto* button = qobject_cast<QPushButton*>(w)) {
    shown.text = FromQString(button->text());
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    shown.text = FromQString(edit->text());
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    shown.text = FromQString(label->text());
  } else if (top) {
    shown.text = FromQString(w->windowTitle());
  }
  shown.visible = w->isVisible();
  shown.enabled = w->isEnabled();
  return shown;
}

Frame FrameOf(TForm& form) {
  QWidget* w = WidgetOf(form);
  Frame frame;
  frame.resizable = w->minimumSize() != w->maximumSize();
  frame.maximise_box = (w->windowFlags() & Qt::WindowMaximizeButtonHint) != 0;
  frame.minimise_box = (w->windowFlags() & Qt::WindowMinimizeButtonHint) != 0;
  frame.system_menu = (w->windowFlags() & Qt::WindowSystemMenuHint) != 0;
  frame.has_icon = !w->windowIcon().isNull();
  QWidget* sample = w;
  for (int i = 0; i < form.ControlCount(); ++i) {
    if (auto* control = dynamic_cast<TWinControl*>(form.Controls(i))) sample = WidgetOf(*control);
  }
  const QFontInfo font(sample->font());
  frame.font_face = font.family().toStdString();
  frame.font_pixel_height = font.pixelSize();
  return frame;
}

Area CentringArea() {
  const QRect r = QGuiApplication::primaryScreen()->geometry();
  return {r.x(), r.y(), r.width(), r.height()};
}

TBitmap Capture(TForm& form) {
  const QImage shot = WidgetOf(form)->grab().toImage().convertToFormat(QImage::Format_BGR888);
  TBitmap bitmap = TBitmap::Make(shot.width(), shot.height());
  for (int y = 0; y < shot.height(); ++y) {
    std::copy(shot.constScanLine(y), shot.constScanLine(y) + 3 * shot.width(), bitmap.Row(y));
  }
  return bitmap;
}

std::string Separator() { return "/"; }

std::vector<TWinControl*> StackingOrder(TForm& form) {
  // Qt stacks sibling widgets in the order of children(): the last one is on top.
  std::vector<TWinControl*> order;
  for (QObject* child : WidgetOf(form)->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (TWinControl* control = widget ? ControlOf(form, widget) : nullptr) order.push_back(control);
  }
  return order;
}

void Click(TWinControl& control) { QTest::mouseClick(WidgetOf(control), Qt::LeftButton); }

void Type(TWinControl& field, const std::string& text) {
  field.SetFocus();
  QTest::keyClicks(WidgetOf(field), QString::fromStdString(text));
}

void Press(Key key) {
  const Qt::Key code = key == Key::Tab      ? Qt::Key_Tab
                       : key == Key::Enter  ? Qt::Key_Return
                       : key == Key::Escape ? Qt::Key_Escape
                                            : Qt::Key_Space;
  QWidget* target = QApplication::focusWidget();
  if (!target) target = QApplication::activeWindow();
  if (target) QTest::keyClick(target, code);
}

TWinControl* FocusedControl(TForm& form) {
  QWidget* focus = QApplication::focusWidget();
  return focus ? ControlOf(form, focus) : nullptr;
}

void CloseByUser(TForm& form) { WidgetOf(form)->close(); }

bool ShowAndActivate(TForm& form) {
  form.Show();
  return QTest::qWaitForWindowActive(WidgetOf(form));
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qSleep(1);
  }
  return true;
}

void Wait(int ms) { QTest::qWait(ms); }

void Later(std::function<void()> action, int delay_ms) {
  QTimer::singleShot(delay_ms, QCoreApplication::instance(), std::move(action));
}

void WhenFolderDialogOpens(std::function<void(FolderDialogDriver&)> action, int timeout_ms) {
  test::WhenFolderDialogOpens(
      [action = std::move(action)](FolderDialog& dialog) {
        QtFolderDialogDriver driver(dialog);
        action(driver);
      },
      timeout_ms);
}

}  // namespace kel::test
