// A TCanvas that draws into a bitmap in memory, so picture tests run the same on every
// backend.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gui/bitmap.h"
#include "gui/canvas.h"

namespace kel::test {

class MemoryCanvas : public TCanvas {
 public:
  MemoryCanvas(int width, int height) : surface(TBitmap::Make(width, height)) {
    clips_.push_back({0, 0, width, height});
  }

  void Draw(int x, int y, const TBitmap& bitmap) override {
    const Rect c = clips_.back();
    for (int row = std::max(y, c.y); row < std::min(y + bitmap.Height, c.y + c.h); ++row) {
      for (int col = std::max(x, c.x); col < std::min(x + bitmap.Width, c.x + c.w); ++col) {
        const std::uint8_t* from = bitmap.Row(row - y) + 3 * (col - x);
        std::copy(from, from + 3, surface.Row(row) + 3 * col);
      }
    }
  }
  void PushClip(int x, int y, int width, int height) override {
    const Rect c = clips_.back();
    const int left = std::max(x, c.x), top = std::max(y, c.y);
    const int right = std::min(x + width, c.x + c.w), bottom = std::min(y + height, c.y + c.h);
    clips_.push_back({left, top, std::max(0, right - left), std::max(0, bottom - top)});
  }
  void PopClip() override { clips_.pop_back(); }

  TBitmap surface;

 private:
  struct Rect {
    int x, y, w, h;
  };
  std::vector<Rect> clips_;
};

// The pixel at (x, y) as 0xRRGGBB.
inline std::uint32_t PixelAt(const TBitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.Row(y) + 3 * x;
  return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

}  // namespace kel::test
