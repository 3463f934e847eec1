#include "gui/jpeg_image.h"

namespace kel {

EJPEG::EJPEG(int message_code)
    : EInvalidGraphic("JPEG エラー #" + std::to_string(message_code)), MessageCode(message_code) {}

void TJPEGImage::LoadFromBytes(std::string bytes) {
  const JpegSize size = ReadJpegSize(bytes);
  bytes_ = std::move(bytes);
  width_ = size.Width;
  height_ = size.Height;
  bitmap_ = TBitmap();
  failed_ = false;
}

const TBitmap& TJPEGImage::Bitmap() {
  if (bitmap_.Empty() && !bytes_.empty()) bitmap_ = DecodeJpeg(bytes_);
  return bitmap_;
}

void TJPEGImage::Draw(TCanvas& canvas, int x, int y) {
  // One failed decoding is reported once: the error box itself causes repaints.
  if (failed_ || bytes_.empty()) return;
  try {
    canvas.Draw(x, y, Bitmap());
  } catch (...) {
    failed_ = true;
    throw;
  }
}

}  // namespace kel
