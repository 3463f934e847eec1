#include "gui/component.h"

#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <algorithm>

#include "gui/application.h"

namespace kel {

void CallHandler(const std::function<void()>& handler) noexcept {
  try {
    if (handler) handler();
  } catch (...) {
    Application.HandleException(std::current_exception());
  }
}

// ---------------------------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TComponent::DestroyComponents() noexcept {
  // Each destructor takes the component out of components_ itself.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    last->owner_ = nullptr;
    components_.pop_back();
    delete last;
  }
}

// ---------------------------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    parent_->RemoveControl(this);
    parent_->Invalidate();
  }
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    if (align_ == TAlign::alClient)
      SetBounds(0, 0, parent_->ClientWidth(), parent_->ClientHeight());
    Invalidate();
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (parent_) Invalidate();  // the old area
  left_ = left;
  top_ = top;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  BoundsChanged();
  if (parent_) Invalidate();  // the new area
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (align_ == TAlign::alClient && parent_) {
    SetBounds(0, 0, parent_->ClientWidth(), parent_->ClientHeight());
  }
}

// ---------------------------------------------------------------------------------------------

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

QWidget* TWinControl::Handle() {
  if (handle_->widget) return handle_->widget;
  QWidget* parent_widget = Parent() ? Parent()->Handle() : nullptr;
  // The parent's Handle() may have made ours already, as one of its children.
  if (handle_->widget) return handle_->widget;
  QWidget* widget = CreateHandle(parent_widget);
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
  return widget;
}

void TWinControl::SetParent(TWinControl* parent) {
  TControl::SetParent(parent);
  if (!HandleAllocated()) {
    if (parent && parent->HandleAllocated()) Handle();
    return;
  }
  if (parent) {
    handle_->widget->setParent(parent->Handle());
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

void TWinControl::SetTabOrder(int order) {
  tab_order_ = order;
  if (Parent()) Parent()->UpdateTabOrder();
}

void TWinControl::SetFocus() {
  if (CanFocus()) Handle()->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const { return HandleAllocated() && handle_->widget->hasFocus(); }

void TWinControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (HandleAllocated()) handle_->widget->setEnabled(enabled);
}

int TWinControl::ClientWidth() const { return Width(); }
int TWinControl::ClientHeight() const { return Height(); }

void TWinControl::PaintControls(QPainter& painter) {
  for (TControl* control : controls_) {
    auto* graphic = dynamic_cast<TGraphicControl*>(control);
    if (!graphic || graphic->Width() <= 0 || graphic->Height() <= 0) continue;
    painter.save();
    painter.setClipRect(graphic->Left(), graphic->Top(), graphic->Width(), graphic->Height());
    CallHandler([&] { graphic->Paint(painter); });
    painter.restore();
  }
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
  for (TControl* control : controls_) {
    auto* child = dynamic_cast<TWinControl*>(control);
    if (child && child->CanFocus() && child->HandleAllocated()) chain.push_back(child);
  }
  // Equal numbers keep the order in which the controls were placed.
  std::stable_sort(chain.begin(), chain.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (std::size_t i = 1; i < chain.size(); ++i) {
    QWidget::setTabOrder(chain[i - 1]->Handle(), chain[i]->Handle());
  }
}

void TWinControl::AlignControls() {
  for (TControl* control : controls_) {
    if (control->Align() == TAlign::alClient) {
      control->SetBounds(0, 0, ClientWidth(), ClientHeight());
    }
  }
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  if (auto* child = dynamic_cast<TWinControl*>(control); child && child->tab_order_ < 0) {
    int windowed = 0;
    for (TControl* c : controls_) windowed += dynamic_cast<TWinControl*>(c) != nullptr;
    child->tab_order_ = windowed - 1;
  }
}

void TWinControl::RemoveControl(TControl* control) noexcept {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

// ---------------------------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

void TGraphicControl::Invalidate() {
  TWinControl* parent = Parent();
  if (parent && parent->HandleAllocated()) {
    parent->Handle()->update(Left(), Top(), Width(), Height());
  }
}

}  // namespace kel
