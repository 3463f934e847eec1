// The committed background picture's format, and its decoding by TJPEGImage.
#include "gui/jpeg_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gui/memory_canvas.h"
#include "support/program_text.h"

namespace kel {
namespace {

using test::ProgramText;

std::string ReadAsset(const std::string& name) {
  std::ifstream in(std::string(KEL_ASSETS_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s.at(i)); }
unsigned Word(const std::string& s, std::size_t i) { return Byte(s, i) << 8 | Byte(s, i + 1); }

struct Segment {
  unsigned marker;
  std::string body;  // without the marker and the length field
};

// The marker segments up to the first scan's data and after the last, skipping entropy-coded
// data (where 0xFF is followed by 0x00 or a restart marker).
std::vector<Segment> Segments(const std::string& jpeg) {
  std::vector<Segment> out;
  std::size_t pos = 2;
  while (pos + 4 <= jpeg.size()) {
    if (Byte(jpeg, pos) != 0xFF) {
      ADD_FAILURE() << "no marker at " << pos;
      break;
    }
    unsigned marker = Byte(jpeg, pos + 1);
    if (marker == 0xD9) {
      out.push_back({marker, {}});
      break;
    }
    unsigned length = Word(jpeg, pos + 2);
    out.push_back({marker, jpeg.substr(pos + 4, length - 2)});
    pos += 2 + length;
    if (marker == 0xDA) {  // skip the scan data
      while (pos + 1 < jpeg.size() &&
             !(Byte(jpeg, pos) == 0xFF && Byte(jpeg, pos + 1) != 0x00 &&
               (Byte(jpeg, pos + 1) < 0xD0 || Byte(jpeg, pos + 1) > 0xD7))) {
        ++pos;
      }
    }
  }
  return out;
}

TEST(BackgroundFile, IsBaselineJfif100At72DpiWithFullChromaInOneScan) {
  const std::string jpeg = ReadAsset("background.jpg");
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_EQ(Word(jpeg, 0), 0xFFD8u);
  EXPECT_EQ(Word(jpeg, jpeg.size() - 2), 0xFFD9u);
  std::vector<Segment> segments = Segments(jpeg);
  ASSERT_GE(segments.size(), 4u);

  const Segment& app0 = segments[0];  // JFIF comes first
  ASSERT_EQ(app0.marker, 0xE0u);
  ASSERT_GE(app0.body.size(), 14u);
  EXPECT_EQ(app0.body.substr(0, 5), std::string("JFIF\0", 5));
  EXPECT_EQ(Byte(app0.body, 5), 1u);  // version 1.00
  EXPECT_EQ(Byte(app0.body, 6), 0u);
  EXPECT_EQ(Byte(app0.body, 7), 1u);  // dots per inch
  EXPECT_EQ(Word(app0.body, 8), 72u);
  EXPECT_EQ(Word(app0.body, 10), 72u);

  int sof0 = 0, other_sof = 0, scans = 0, huffman_tables = 0;
  for (const Segment& s : segments) {
    if (s.marker == 0xC0) {
      ++sof0;
      EXPECT_EQ(Byte(s.body, 0), 8u);    // 8-bit samples
      EXPECT_EQ(Word(s.body, 1), 480u);  // height
      EXPECT_EQ(Word(s.body, 3), 640u);  // width
      ASSERT_EQ(Byte(s.body, 5), 3u);    // Y, Cb, Cr
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Byte(s.body, 6 + 3 * c + 1), 0x11u) << c;
    } else if (s.marker >= 0xC1 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 &&
               s.marker != 0xCC) {
      ++other_sof;
    } else if (s.marker == 0xDA) {
      ++scans;
      EXPECT_EQ(Byte(s.body, 0), 3u);  // interleaved: all three components
    } else if (s.marker == 0xC4) {
      ++huffman_tables;
    }
  }
  EXPECT_EQ(sof0, 1);
  EXPECT_EQ(other_sof, 0);
  EXPECT_EQ(scans, 1);
  EXPECT_GE(huffman_tables, 1);
}

TEST(JpegImage, DecodesTheBackgroundOnceAtFirstPaintAndReusesIt) {
  TJPEGImage image;
  image.LoadFromBytes(ReadAsset("background.jpg"));
  EXPECT_EQ(image.Width(), 640);
  EXPECT_EQ(image.Height(), 480);
  EXPECT_FALSE(image.Decoded());  // nothing decoded before the first paint

  test::MemoryCanvas canvas(700, 520);
  image.Draw(canvas, 30, 20);
  ASSERT_TRUE(image.Decoded());
  const TBitmap& bitmap = image.Bitmap();
  EXPECT_EQ(bitmap.Width, 640);
  EXPECT_EQ(bitmap.Height, 480);
  EXPECT_EQ(bitmap.Pixels.size(), 640u * 3 * 480);  // 24 bits a pixel
  const std::uint8_t* decoded = bitmap.Pixels.data();
  image.Draw(canvas, 30, 20);
  EXPECT_EQ(image.Bitmap().Pixels.data(), decoded);  // the same bitmap, not a new decoding

  // Drawn at natural size from (30, 20), nothing outside.
  for (auto [x, y] : {std::pair{0, 0}, {320, 240}, {639, 479}, {10, 300}}) {
    EXPECT_EQ(test::PixelAt(canvas.surface, x + 30, y + 20), test::PixelAt(bitmap, x, y))
        << x << "," << y;
  }
  EXPECT_EQ(test::PixelAt(canvas.surface, 29, 19), 0u);
  EXPECT_EQ(test::PixelAt(canvas.surface, 670, 500), 0u);
}

TEST(JpegImage, DataThatIsNoJpegRaisesInsteadOfEndingTheProgram) {
  TJPEGImage image;
  try {
    image.LoadFromBytes("This is a text file, not a picture.");
    FAIL() << "accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind(ProgramText("JPEG エラー #"), 0), 0u) << e.Message();
  }
  EXPECT_THROW(DecodeJpeg(std::string()), EJPEG);
}

}  // namespace
}  // namespace kel
