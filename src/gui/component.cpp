#include "gui/component.h"

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

void TWinControl::SetTabOrder(int order) {
  tab_order_ = order;
  if (Parent()) Parent()->UpdateTabOrder();
}

int TWinControl::ClientWidth() const { return Width(); }
int TWinControl::ClientHeight() const { return Height(); }

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

std::vector<TWinControl*> TWinControl::TabSequence() const {
  std::vector<TWinControl*> chain;
  for (TControl* control : controls_) {
    auto* child = dynamic_cast<TWinControl*>(control);
    if (child && child->CanFocus()) chain.push_back(child);
  }
  // Equal numbers keep the order in which the controls were placed.
  std::stable_sort(chain.begin(), chain.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  return chain;
}

void TWinControl::PaintControls(TCanvas& canvas) {
  for (TControl* control : controls_) {
    auto* graphic = dynamic_cast<TGraphicControl*>(control);
    if (!graphic || graphic->Width() <= 0 || graphic->Height() <= 0) continue;
    const CanvasClip clip(canvas, graphic->Left(), graphic->Top(), graphic->Width(),
                          graphic->Height());
    CallHandler([&] { graphic->Paint(canvas); });
  }
}

// ---------------------------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

}  // namespace kel
