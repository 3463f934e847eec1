// The windowless picture control.
#pragma once

#include <memory>

#include "gui/component.h"
#include "gui/graphics.h"

namespace kel {

// Paints its picture at natural size from its top-left corner, clipped to its bounds: no
// stretching, no centring. Drawn on the parent's surface below the windowed controls.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;

  TGraphic* Picture() const { return picture_.get(); }
  // Takes the picture (null clears it) and repaints.
  void SetPicture(std::unique_ptr<TGraphic> picture);

  void Paint(TCanvas& canvas) override;

 private:
  std::unique_ptr<TGraphic> picture_;
};

}  // namespace kel
