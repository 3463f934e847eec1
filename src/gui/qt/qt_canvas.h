// TCanvas over a QPainter.
#pragma once

#include <QImage>
#include <QPainter>

#include "gui/canvas.h"

namespace kel {

class QtCanvas : public TCanvas {
 public:
  explicit QtCanvas(QPainter& painter) : painter_(painter) {}
  void Draw(int x, int y, const TBitmap& bitmap) override {
    if (bitmap.Empty()) return;
    // A view of the bitmap's own rows; nothing is copied.
    const QImage image(bitmap.Pixels.data(), bitmap.Width, bitmap.Height, bitmap.Stride(),
                       QImage::Format_BGR888);
    painter_.drawImage(x, y, image);
  }
  void PushClip(int x, int y, int width, int height) override {
    painter_.save();
    painter_.setClipRect(x, y, width, height, Qt::IntersectClip);
  }
  void PopClip() override { painter_.restore(); }

 private:
  QPainter& painter_;
};

}  // namespace kel
