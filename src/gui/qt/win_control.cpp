// The windowed controls' Qt widgets.
#include <QPointer>
#include <QWidget>

#include "gui/component.h"
#include "gui/qt/qt_window.h"

namespace kel {

// The widget may also be deleted by Qt along with its parent widget; QPointer notices.
struct TWinControl::HandleHolder {
  QPointer<QWidget> widget;
};

TWinControl::TWinControl(TComponent* owner) : TControl(owner), handle_(new HandleHolder) {}

TWinControl::~TWinControl() {
  // Owned components go while this control is whole; controls shown here but owned elsewhere
  // only lose their parent.
  DestroyComponents();
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  delete handle_->widget.data();
  delete handle_;
}

bool TWinControl::HandleAllocated() const { return !handle_->widget.isNull(); }

NativeWindow TWinControl::Handle() {
  if (handle_->widget) return Native(handle_->widget);
  QWidget* parent_widget = Parent() ? Widget(Parent()->Handle()) : nullptr;
  // The parent's Handle() may have made ours already, as one of its children.
  if (handle_->widget) return Native(handle_->widget);
  QWidget* widget = Widget(CreateHandle(Native(parent_widget)));
  handle_->widget = widget;
  if (parent_widget) {
    widget->setGeometry(Left(), Top(), Width(), Height());
    widget->setFocusPolicy(CanFocus() ? widget->focusPolicy() : Qt::NoFocus);
    widget->show();  // shown together with the parent
  }
  if (!enabled_) widget->setEnabled(false);
  HandleCreated();
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) child->Handle();
  }
  UpdateTabOrder();
  return Native(widget);
}

void TWinControl::SetParent(TWinControl* parent) {
  TControl::SetParent(parent);
  if (!HandleAllocated()) {
    if (parent && parent->HandleAllocated()) Handle();
    return;
  }
  if (parent) {
    handle_->widget->setParent(Widget(parent->Handle()));
    handle_->widget->setGeometry(Left(), Top(), Width(), Height());
    handle_->widget->show();
    parent->UpdateTabOrder();
  } else {
    handle_->widget->hide();
    handle_->widget->setParent(nullptr);
  }
}

void TWinControl::Invalidate() {
  if (HandleAllocated()) handle_->widget->update();
}

void TWinControl::SetFocus() {
  if (CanFocus()) Widget(Handle())->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const { return HandleAllocated() && handle_->widget->hasFocus(); }

void TWinControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (HandleAllocated()) handle_->widget->setEnabled(enabled);
}

void TWinControl::BoundsChanged() {
  if (HandleAllocated() && Parent()) {
    handle_->widget->setGeometry(Left(), Top(), Width(), Height());
  }
  AlignControls();
}

void TWinControl::UpdateTabOrder() {
  if (!HandleAllocated()) return;
  std::vector<TWinControl*> chain;
  for (TWinControl* child : TabSequence()) {
    if (child->HandleAllocated()) chain.push_back(child);
  }
  for (std::size_t i = 1; i < chain.size(); ++i) {
    QWidget::setTabOrder(Widget(chain[i - 1]->Handle()), Widget(chain[i]->Handle()));
  }
}

void TGraphicControl::Invalidate() {
  TWinControl* parent = Parent();
  if (parent && parent->HandleAllocated()) {
    Widget(parent->Handle())->update(Left(), Top(), Width(), Height());
  }
}

}  // namespace kel
