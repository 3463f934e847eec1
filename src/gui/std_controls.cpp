#include "gui/std_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/qt_text.h"

namespace kel {

TButton::TButton(TComponent* owner) : TWinControl(owner) {}

void TButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) static_cast<QPushButton*>(Handle())->setText(ToQString(caption_));
}

void TButton::Click() {
  CallHandler([this] {
    if (OnClick) OnClick(this);
  });
}

QWidget* TButton::CreateHandle(QWidget* parent) {
  auto* button = new QPushButton(ToQString(caption_), parent);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(button, &QPushButton::clicked, button, [this] { Click(); });
  return button;
}

// ---------------------------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {}

std::string TEdit::Text() const {
  if (!HandleAllocated()) return text_;
  return FromQString(static_cast<QLineEdit*>(const_cast<TEdit*>(this)->Handle())->text());
}

void TEdit::SetText(const std::string& text) {
  text_ = text;
  if (HandleAllocated()) static_cast<QLineEdit*>(Handle())->setText(ToQString(text_));
}

bool TEdit::Holds(std::string_view text) { return FromQString(ToQString(text)) == text; }

QWidget* TEdit::CreateHandle(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setFocusPolicy(Qt::StrongFocus);
  return edit;
}

void TEdit::HandleCreated() { static_cast<QLineEdit*>(Handle())->setText(ToQString(text_)); }

// ---------------------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) static_cast<QLabel*>(Handle())->setText(ToQString(caption_));
}

QWidget* TPanel::CreateHandle(QWidget* parent) {
  auto* label = new QLabel(ToQString(caption_), parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(false);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Raised);
  label->setLineWidth(1);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Button);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

}  // namespace kel
