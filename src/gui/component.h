// The component model of the toolkit: owned components, controls placed on a parent, windowed
// controls backed by a window of the toolkit (a Qt widget, a Win32 window) and windowless
// controls painted on their parent's surface.
//
// Ownership: a component is created with an owner (or none) and is destroyed with it; deleting a
// component earlier removes it from its owner. A control's parent only decides where it is shown
// and never owns it. A windowed control owns its window; the window is made on the first call of
// Handle() and lives until the control is destroyed.
//
// Handlers are never called straight from a toolkit frame: CallHandler runs them and hands any
// exception to the application's error display, so no exception unwinds through the
// toolkit's frames.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/canvas.h"
#include "gui/native_window.h"

namespace kel {

class TComponent;
class TWinControl;

// A handler of a plain event; `Sender` is the component that raised it.
using TNotifyEvent = std::function<void(TComponent* Sender)>;

// Runs `handler` (if any); an exception that leaves it goes to Application.HandleException.
// Every place that calls a handler from the event loop goes through here.
void CallHandler(const std::function<void()>& handler) noexcept;

class TComponent {
 public:
  // `owner` may be null; otherwise it destroys this component when it is destroyed itself.
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }

  std::string Name;

 protected:
  // Destroys the owned components, the newest first. Derived destructors that need their own
  // state intact while the owned components go call this first.
  void DestroyComponents() noexcept;

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;
};

enum class TAlign { alNone, alClient };

// Something shown inside a windowed parent, with a position and size in client pixels of the
// parent (96 dpi, never scaled).
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  // Shows the control inside `parent` (null takes it out). The parent does not own it.
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);

  TAlign Align() const { return align_; }
  // alClient fills the parent's client area and follows its size.
  void SetAlign(TAlign align);

  // Asks for a repaint at the next paint.
  virtual void Invalidate() = 0;

 protected:
  // Called after the bounds changed.
  virtual void BoundsChanged() {}

 private:
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
};

// A control with a window of its own, made on the first request.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The control's window, made now if it does not exist yet (the parent's window too). Never
  // null; the control keeps ownership.
  NativeWindow Handle();
  bool HandleAllocated() const;

  void SetParent(TWinControl* parent) override;
  void Invalidate() override;

  // Position in the parent's Tab sequence, counted from 0. Controls that cannot take the focus
  // keep their number but are left out of the sequence.
  int TabOrder() const { return tab_order_; }
  void SetTabOrder(int order);
  // Whether the control takes the focus by Tab and by click.
  virtual bool CanFocus() const { return true; }
  void SetFocus();
  bool Focused() const;

  // Whether the control takes input (clicks, keys, the focus); a disabled one is shown greyed.
  // Disabling the control that has the focus moves the focus on to the next in Tab order;
  // enabling it again does not bring the focus back.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // The controls shown inside this one, in the order they were placed (bottom to top).
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(index); }

  int ClientWidth() const;
  int ClientHeight() const;

  // Paints the windowless controls inside this one, bottom to top, each clipped to its bounds.
  // Called by the backend's paint handling; exceptions from a control's painting go to the
  // error display.
  void PaintControls(TCanvas& canvas);

 protected:
  // Makes the window, a child of `parent` (null for a top-level window). The control owns it.
  virtual NativeWindow CreateHandle(NativeWindow parent) = 0;
  // Called once the window exists and carries the bounds; for settings kept before.
  virtual void HandleCreated() {}
  void BoundsChanged() override;
  // Re-applies the Tab sequence of the children to their windows.
  void UpdateTabOrder();
  // The children that take the focus, in Tab order (equal numbers in placing order).
  std::vector<TWinControl*> TabSequence() const;
  // Re-lays alClient children after a size change.
  void AlignControls();

 private:
  friend class TControl;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control) noexcept;

  // The backend's record of the window (defined by each backend); owned.
  struct HandleHolder;
  HandleHolder* handle_ = nullptr;
  std::vector<TControl*> controls_;
  int tab_order_ = -1;
  bool enabled_ = true;
};

// A control without a window: painted on its parent's surface, takes no focus.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  void Invalidate() override;
  // Paints the control; `canvas` is set up in the parent's client coordinates.
  virtual void Paint(TCanvas& canvas) = 0;
};

}  // namespace kel
