// The surface a windowless control paints on: the parent's client area during a paint, set up
// by the backend in the parent's client coordinates and clipped to the control's bounds.
#pragma once

#include "gui/bitmap.h"

namespace kel {

class TCanvas {
 public:
  // Draws `bitmap` at natural size with its top-left corner at (x, y), opaque.
  virtual void Draw(int x, int y, const TBitmap& bitmap) = 0;
  // Limits drawing to the rectangle (intersected with the current limit) until PopClip.
  virtual void PushClip(int x, int y, int width, int height) = 0;
  virtual void PopClip() = 0;

 protected:
  ~TCanvas() = default;
};

// A clip rectangle for the lifetime of the object.
class CanvasClip {
 public:
  CanvasClip(TCanvas& canvas, int x, int y, int width, int height) : canvas_(canvas) {
    canvas_.PushClip(x, y, width, height);
  }
  ~CanvasClip() { canvas_.PopClip(); }
  CanvasClip(const CanvasClip&) = delete;
  CanvasClip& operator=(const CanvasClip&) = delete;

 private:
  TCanvas& canvas_;
};

}  // namespace kel
