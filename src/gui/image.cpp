#include "gui/image.h"

namespace kel {

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {}

TImage::~TImage() = default;

void TImage::SetPicture(std::unique_ptr<TGraphic> picture) {
  picture_ = std::move(picture);
  Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
  if (picture_) picture_->Draw(canvas, Left(), Top());
}

}  // namespace kel
