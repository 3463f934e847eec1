// A decoded picture in memory, laid out as both backends draw it without a conversion: 24-bit
// colour, each pixel blue, green, red, rows from the top, each row padded to a multiple of
// four bytes (a top-down 24-bit device-independent bitmap; Qt's Format_BGR888 with that row
// length).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel {

struct TBitmap {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;  // Stride() * Height bytes

  static int StrideFor(int width) { return (width * 3 + 3) & ~3; }
  int Stride() const { return StrideFor(Width); }
  bool Empty() const { return Width <= 0 || Height <= 0; }
  // Allocates a width × height bitmap filled with black.
  static TBitmap Make(int width, int height) {
    TBitmap bitmap;
    bitmap.Width = width;
    bitmap.Height = height;
    bitmap.Pixels.assign(static_cast<std::size_t>(StrideFor(width)) * height, 0);
    return bitmap;
  }
  std::uint8_t* Row(int y) { return Pixels.data() + static_cast<std::size_t>(Stride()) * y; }
  const std::uint8_t* Row(int y) const {
    return Pixels.data() + static_cast<std::size_t>(Stride()) * y;
  }
};

}  // namespace kel
