// The JPEG picture kind, decoded with libjpeg.
#pragma once

#include <QImage>
#include <memory>
#include <string>

#include "gui/graphics.h"

namespace kel {

// libjpeg refused the data: "JPEG エラー #n" with libjpeg's message number.
class EJPEG : public EInvalidGraphic {
 public:
  explicit EJPEG(int message_code);
  const char* ClassName() const noexcept override { return "EJPEG"; }
  int MessageCode;
};

// JPEG data, decoded at full scale into 24-bit colour at its first paint (or first Bitmap
// request); the decoded image is kept and serves every later paint. A decoding failure is
// raised once; later paints draw nothing instead of raising again.
class TJPEGImage : public TGraphic {
 public:
  const char* ClassName() const noexcept override { return "TJPEGImage"; }
  // Reads the size from the header now. Raises EJPEG when there is no valid JPEG header.
  void LoadFromBytes(std::string bytes) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Draw(QPainter& painter, int x, int y) override;

  // The decoded image (QImage::Format_RGB888), decoding now if needed. Raises EJPEG when the
  // data cannot be decoded.
  const QImage& Bitmap();
  // True once the data has been decoded.
  bool Decoded() const { return !bitmap_.isNull(); }

 private:
  std::string bytes_;
  QImage bitmap_;
  int width_ = 0, height_ = 0;
  bool failed_ = false;
};

// Decodes whole JPEG data at full scale into a Format_RGB888 image (grey pictures are expanded
// to colour). Raises EJPEG when libjpeg refuses the data.
QImage DecodeJpeg(const std::string& bytes);

// TJPEGImage is registered for "jpeg" and "jpg" as "JPEG イメージファイル" at program start,
// together with the registry itself (graphics.cpp).

}  // namespace kel
