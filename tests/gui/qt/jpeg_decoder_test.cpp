// libjpeg's decoding: against Qt's own JPEG reader, and what it makes of damaged data (a
// scan that fails only when decoded, data cut short).
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

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s.at(i)); }

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

// A header that reads but a scan that refers to a Huffman table nobody defined: libjpeg fails
// when decoding starts, at the first paint.
std::string WithUndefinedHuffmanTable(std::string jpeg) {
  for (std::size_t i = 2; i + 6 < jpeg.size(); ++i) {
    if (Byte(jpeg, i) == 0xFF && Byte(jpeg, i + 1) == 0xDA) {
      jpeg[i + 6] = static_cast<char>(0x33);  // first component: DC and AC table 3
      return jpeg;
    }
  }
  ADD_FAILURE() << "no scan";
  return jpeg;
}

TEST(JpegImage, DecodingFailureAtFirstPaintIsRaisedOnceThenNothingIsDrawn) {
  TJPEGImage image;
  image.LoadFromBytes(WithUndefinedHuffmanTable(ReadAsset("background.jpg")));
  EXPECT_EQ(image.Width(), 640);
  test::MemoryCanvas canvas(640, 480);
  EXPECT_THROW(image.Draw(canvas, 0, 0), EJPEG);
  EXPECT_NO_THROW(image.Draw(canvas, 0, 0));  // an error box repaints; no second box
  EXPECT_FALSE(image.Decoded());
  EXPECT_THROW(image.Bitmap(), EJPEG);  // asked explicitly, it still says why
}

TEST(JpegImage, TruncatedDataStillGivesTheWholePicture) {
  const std::string jpeg = ReadAsset("background.jpg");
  TJPEGImage image;
  image.LoadFromBytes(jpeg.substr(0, jpeg.size() / 2));
  const TBitmap& bitmap = image.Bitmap();  // the decoder fills in what is missing
  EXPECT_EQ(bitmap.Width, 640);
  EXPECT_EQ(bitmap.Height, 480);
}

}  // namespace
}  // namespace kel
