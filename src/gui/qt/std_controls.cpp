#include "gui/std_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/qt/qt_text.h"
#include "gui/qt/qt_window.h"

namespace kel {

TButton::TButton(TComponent* owner) : TWinControl(owner) {}

void TButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) static_cast<QPushButton*>(Widget(Handle()))->setText(ToQString(caption_));
}

void TButton::Click() {
  CallHandler([this] {
    if (OnClick) OnClick(this);
  });
}

NativeWindow TButton::CreateHandle(NativeWindow parent_window) {
  QWidget* parent = Widget(parent_window);
  auto* button = new QPushButton(ToQString(caption_), parent);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(button, &QPushButton::clicked, button, [this] { Click(); });
  return Native(button);
}

// ---------------------------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {}

std::string TEdit::Text() const {
  if (!HandleAllocated()) return text_;
  return FromQString(static_cast<QLineEdit*>(Widget(const_cast<TEdit*>(this)->Handle()))->text());
}

void TEdit::SetText(const std::string& text) {
  text_ = text;
  if (HandleAllocated()) static_cast<QLineEdit*>(Widget(Handle()))->setText(ToQString(text_));
}

bool TEdit::Holds(std::string_view text) { return FromQString(ToQString(text)) == text; }

NativeWindow TEdit::CreateHandle(NativeWindow parent_window) {
  QWidget* parent = Widget(parent_window);
  auto* edit = new QLineEdit(parent);
  edit->setFocusPolicy(Qt::StrongFocus);
  return Native(edit);
}

void TEdit::HandleCreated() {
  static_cast<QLineEdit*>(Widget(Handle()))->setText(ToQString(text_));
}

// ---------------------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (HandleAllocated()) static_cast<QLabel*>(Widget(Handle()))->setText(ToQString(caption_));
}

NativeWindow TPanel::CreateHandle(NativeWindow parent_window) {
  QWidget* parent = Widget(parent_window);
  auto* label = new QLabel(ToQString(caption_), parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(false);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Raised);
  label->setLineWidth(1);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Button);
  label->setFocusPolicy(Qt::NoFocus);
  return Native(label);
}

}  // namespace kel
