// The JPEG picture kind. The decoder is the backend's: libjpeg on Linux, the Windows Imaging
// Component on Windows.
#pragma once

#include <memory>
#include <string>

#include "gui/bitmap.h"
#include "gui/graphics.h"

namespace kel {

// The decoder refused the data: "JPEG エラー #n" with the decoder's error number (libjpeg's
// message number; the low 16 bits of the Windows Imaging Component's result).
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
  void Draw(TCanvas& canvas, int x, int y) override;

  // The decoded picture, decoding now if needed. Raises EJPEG when the data cannot be decoded.
  const TBitmap& Bitmap();
  // True once the data has been decoded.
  bool Decoded() const { return !bitmap_.Empty(); }

 private:
  std::string bytes_;
  TBitmap bitmap_;
  int width_ = 0, height_ = 0;
  bool failed_ = false;
};

// The backend's decoder. The picture's size from the header of `bytes`; raises EJPEG when
// there is no valid JPEG header.
struct JpegSize {
  int Width = 0;
  int Height = 0;
};
JpegSize ReadJpegSize(const std::string& bytes);
// Decodes whole JPEG data at full scale into 24-bit colour (grey pictures are expanded to
// colour). Raises EJPEG when the decoder refuses the data.
TBitmap DecodeJpeg(const std::string& bytes);

// TJPEGImage is registered for "jpeg" and "jpg" as "JPEG イメージファイル" at program start,
// together with the registry itself (graphics.cpp).

}  // namespace kel
