// TCanvas over a GDI device context, in the client coordinates of the window painted.
#pragma once

#include <windows.h>

#include "gui/canvas.h"

namespace kel::win32 {

class GdiCanvas : public TCanvas {
 public:
  explicit GdiCanvas(HDC dc) : dc_(dc) {}

  void Draw(int x, int y, const TBitmap& bitmap) override {
    if (bitmap.Empty()) return;
    // The bitmap's rows as they are: 24-bit, top-down (negative height), rows padded to four
    // bytes as a device-independent bitmap's are.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmap.Width;
    info.bmiHeader.biHeight = -bitmap.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc_, x, y, bitmap.Width, bitmap.Height, 0, 0, bitmap.Width, bitmap.Height,
                  bitmap.Pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  }
  void PushClip(int x, int y, int width, int height) override {
    SaveDC(dc_);
    IntersectClipRect(dc_, x, y, x + width, y + height);
  }
  void PopClip() override { RestoreDC(dc_, -1); }

 private:
  HDC dc_;
};

}  // namespace kel::win32
