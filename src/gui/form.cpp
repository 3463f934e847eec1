#include "gui/form.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "gui/application.h"
#include "gui/qt_text.h"

namespace kel {

QFont WindowFont(int pixel_size) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(pixel_size);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

// The form's window: paints the windowless controls on its surface and asks the form before
// it closes.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* form) : QWidget(nullptr, Qt::Window), form_(form) {
    setAutoFillBackground(true);  // the button-face colour under the picture
    setBackgroundRole(QPalette::Button);
  }
  void Detach() { form_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!form_) return;
    QPainter painter(this);
    form_->PaintControls(painter);
  }
  void closeEvent(QCloseEvent* event) override {
    if (form_ && !form_->CloseRequested()) {
      event->ignore();
      return;
    }
    event->accept();
  }

 private:
  TForm* form_;
};

TForm::TForm(TComponent* owner) : TWinControl(owner), font_(WindowFont(12)) {}

TForm::~TForm() {
  // The controls go while the form is whole; then the window forgets it.
  DestroyComponents();
  if (HandleAllocated()) {
    static_cast<FormWidget*>(Handle())->Detach();
    Handle()->hide();
  }
}

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) Handle()->setWindowTitle(ToQString(caption_));
}

void TForm::SetClientSize(int width, int height) { SetBounds(Left(), Top(), width, height); }

void TForm::SetFont(const QFont& font) {
  font_ = font;
  if (HandleAllocated()) Handle()->setFont(font_);
}

void TForm::SetIcon(const QIcon& icon) {
  icon_ = icon;
  if (HandleAllocated()) Handle()->setWindowIcon(icon_);
}

TWinControl* TForm::ActiveControl() const {
  if (!HandleAllocated()) return active_control_;
  QWidget* focus = const_cast<TForm*>(this)->Handle()->focusWidget();
  for (int i = 0; i < ControlCount(); ++i) {
    auto* control = dynamic_cast<TWinControl*>(Controls(i));
    if (control && control->HandleAllocated() && control->Handle() == focus) return control;
  }
  return active_control_;
}

void TForm::SetActiveControl(TWinControl* control) {
  active_control_ = control;
  if (control && Visible()) control->SetFocus();
}

void TForm::DoCreate() {
  CallHandler([this] {
    if (OnCreate) OnCreate(this);
  });
}

QWidget* TForm::CreateHandle(QWidget*) { return new FormWidget(this); }

void TForm::HandleCreated() {
  QWidget* w = Handle();
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (BorderIcons.biMinimize) flags |= Qt::WindowMinimizeButtonHint;
  if (BorderIcons.biMaximize && BorderStyle == TFormBorderStyle::bsSizeable) {
    flags |= Qt::WindowMaximizeButtonHint;
  }
  w->setWindowFlags(flags);
  w->setWindowTitle(ToQString(caption_));
  w->setFont(font_);
  if (!icon_.isNull()) w->setWindowIcon(icon_);
  ApplySize();
}

void TForm::BoundsChanged() {
  if (HandleAllocated()) ApplySize();
  TWinControl::BoundsChanged();
}

void TForm::ApplySize() {
  QWidget* w = Handle();
  if (BorderStyle == TFormBorderStyle::bsSingle) {
    w->setFixedSize(Width(), Height());
  } else {
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->resize(Width(), Height());
  }
}

void TForm::Show() {
  QWidget* w = Handle();
  if (!placed_) {
    HandleCreated();  // settings made after the window was created
    PlaceOnScreen();
    placed_ = true;
  }
  w->show();
  w->activateWindow();
  TWinControl* first = active_control_;
  if (!first) {
    // The first control in Tab order.
    for (int i = 0; i < ControlCount(); ++i) {
      auto* c = dynamic_cast<TWinControl*>(Controls(i));
      if (c && c->CanFocus() && (!first || c->TabOrder() < first->TabOrder())) first = c;
    }
  }
  if (first) first->SetFocus();
}

void TForm::PlaceOnScreen() {
  QWidget* w = Handle();
  if (Position != TPosition::poScreenCenter) {
    w->move(Left(), Top());
    return;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->geometry();
  int left = std::max(0, area.x() + (area.width() - Width()) / 2);
  int top = std::max(0, area.y() + (area.height() - Height()) / 2);
  w->move(left, top);
}

void TForm::Close() {
  if (HandleAllocated()) Handle()->close();
}

bool TForm::Visible() const {
  return HandleAllocated() && const_cast<TForm*>(this)->Handle()->isVisible();
}

bool TForm::CloseRequested() {
  TCloseAction action = TCloseAction::caHide;
  bool failed = false;
  try {
    if (OnClose) OnClose(this, action);
  } catch (...) {
    failed = true;
    Application.HandleException(std::current_exception());
  }
  if (failed || action == TCloseAction::caNone) return false;
  if (action == TCloseAction::caMinimize) {
    Handle()->showMinimized();
    return false;
  }
  if (Application.MainForm() == this) Application.Terminate();
  return true;
}

}  // namespace kel
