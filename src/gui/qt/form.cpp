#include "gui/form.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "gui/application.h"
#include "gui/graphics.h"
#include "gui/qt/qt_canvas.h"
#include "gui/qt/qt_text.h"
#include "gui/qt/qt_window.h"

namespace kel {

namespace {

// The named font where it exists, otherwise the metric-compatible IPA P Gothic, then Noto Sans
// CJK JP; the height, whatever its sign, is the character height in pixels.
QFont QtFont(const TFont& font) {
  QFont result;
  QStringList families{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                       QStringLiteral("Noto Sans CJK JP")};
  const QString name = ToQString(font.Name);
  families.removeAll(name);
  families.prepend(name);
  result.setFamilies(families);
  result.setPixelSize(std::max(1, std::abs(font.Height)));
  result.setStyleHint(QFont::SansSerif);
  return result;
}

QIcon QtIcon(const TIcon& icon) {
  QImage image = QImage::fromData(
      QByteArray::fromRawData(icon.Png.data(), static_cast<qsizetype>(icon.Png.size())), "PNG");
  if (image.isNull()) throw EInvalidGraphic("アイコンを読み込めません");
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace

struct TForm::Resources {
  QFont font;
  QIcon icon;
};

// The form's window: paints the windowless controls on its surface and asks the form before
// it closes.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(TForm* form) : QWidget(nullptr, Qt::Window), form_(form) {
    setAutoFillBackground(true);  // the button-face colour under the picture
    setBackgroundRole(QPalette::Button);
  }
  void Detach() { form_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!form_) return;
    QPainter painter(this);
    QtCanvas canvas(painter);
    form_->PaintControls(canvas);
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

TForm::TForm(TComponent* owner)
    : TWinControl(owner), resources_(std::make_unique<Resources>(QtFont(font_), QIcon())) {}

TForm::~TForm() {
  // The controls go while the form is whole; then the window forgets it.
  DestroyComponents();
  if (HandleAllocated()) {
    static_cast<FormWindow*>(Widget(Handle()))->Detach();
    Widget(Handle())->hide();
  }
}

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) Widget(Handle())->setWindowTitle(ToQString(caption_));
}

void TForm::SetFont(const TFont& font) {
  font_ = font;
  resources_->font = QtFont(font_);
  if (HandleAllocated()) Widget(Handle())->setFont(resources_->font);
}

void TForm::SetIcon(const TIcon& icon) {
  resources_->icon = QtIcon(icon);
  icon_ = icon;
  if (HandleAllocated()) Widget(Handle())->setWindowIcon(resources_->icon);
}

TWinControl* TForm::ActiveControl() const {
  if (!HandleAllocated()) return active_control_;
  QWidget* focus = Widget(const_cast<TForm*>(this)->Handle())->focusWidget();
  for (int i = 0; i < ControlCount(); ++i) {
    auto* control = dynamic_cast<TWinControl*>(Controls(i));
    if (control && control->HandleAllocated() && Widget(control->Handle()) == focus) {
      return control;
    }
  }
  return active_control_;
}

NativeWindow TForm::CreateHandle(NativeWindow) { return Native(new FormWindow(this)); }

void TForm::HandleCreated() {
  QWidget* w = Widget(Handle());
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (BorderIcons.biMinimize) flags |= Qt::WindowMinimizeButtonHint;
  if (BorderIcons.biMaximize && BorderStyle == TFormBorderStyle::bsSizeable) {
    flags |= Qt::WindowMaximizeButtonHint;
  }
  w->setWindowFlags(flags);
  w->setWindowTitle(ToQString(caption_));
  w->setFont(resources_->font);
  if (!resources_->icon.isNull()) w->setWindowIcon(resources_->icon);
  ApplySize();
}

void TForm::BoundsChanged() {
  if (HandleAllocated()) ApplySize();
  TWinControl::BoundsChanged();
}

void TForm::ApplySize() {
  QWidget* w = Widget(Handle());
  if (BorderStyle == TFormBorderStyle::bsSingle) {
    w->setFixedSize(Width(), Height());
  } else {
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->resize(Width(), Height());
  }
}

void TForm::Show() {
  QWidget* w = Widget(Handle());
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
  QWidget* w = Widget(Handle());
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
  if (HandleAllocated()) Widget(Handle())->close();
}

bool TForm::Visible() const {
  return HandleAllocated() && Widget(const_cast<TForm*>(this)->Handle())->isVisible();
}

void TForm::Minimize() { Widget(Handle())->showMinimized(); }

}  // namespace kel
