// libjpeg's decoding against Qt's own JPEG reader.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "gui/jpeg_image.h"
#include "gui/memory_canvas.h"

namespace kel {
namespace {

std::string ReadAsset(const std::string& name) {
  std::ifstream in(std::string(KEL_ASSETS_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(JpegImage, AgreesWithQtsOwnJpegReader) {
  const std::string bytes = ReadAsset("background.jpg");
  const TBitmap ours = DecodeJpeg(bytes);
  QImage theirs = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                   static_cast<int>(bytes.size()), "JPG");
  if (theirs.isNull()) GTEST_SKIP() << "Qt has no JPEG reader plugin here";
  ASSERT_EQ(theirs.size(), QSize(ours.Width, ours.Height));
  int worst = 0;
  for (int y = 0; y < ours.Height; y += 7) {
    for (int x = 0; x < ours.Width; x += 5) {
      const QRgb a = test::PixelAt(ours, x, y), b = theirs.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                        std::abs(qBlue(a) - qBlue(b))});
    }
  }
  EXPECT_LE(worst, 2);
}

}  // namespace
}  // namespace kel
