// The Windows Imaging Component as the JPEG decoder: the background picture comes out as
// libjpeg gives it on Linux, pictures made here come out exactly in TBitmap's layout, and what
// is no JPEG is refused with EJPEG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/jpeg_image.h"
#include "support/win32/files.h"

namespace kel {
namespace {

std::string ReadAsset(const std::string& name) {
  return test::ReadWide(test::Wide(std::string(KEL_ASSETS_DIR) + "/" + name));
}

// Decoders may differ by a step or two per channel (IDCT and colour conversion rounding).
constexpr int kTolerance = 2;

// A pixel of a TBitmap as 0xRRGGBB.
std::uint32_t PixelAt(const TBitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.Row(y) + 3 * x;
  return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// The largest difference of one channel between two 0xRRGGBB colours.
int ChannelDistance(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                     static_cast<int>((b >> shift) & 0xFF)));
  }
  return worst;
}

// assets/background.jpg as libjpeg-turbo 2.1 decodes it on Linux (the Qt build's DecodeJpeg):
// a grid of pixels that takes in the corners, the last row and the last column, and the mean of
// each channel over the whole picture.
constexpr int kGridX[] = {0, 45, 90, 135, 180, 225, 270, 315, 360, 405, 450, 495, 540, 585, 639};
struct GridRow {
  int y;
  std::uint32_t rgb[std::size(kGridX)];
};
constexpr GridRow kLibjpegGrid[] = {
    {0,
     {0x1A2843, 0x1E3048, 0x22364F, 0x243A52, 0x243E57, 0x223D58, 0x1E3E57, 0x1A3D59, 0x193C5A,
      0x1B3F5F, 0x1B455D, 0x1B485F, 0x1B4A66, 0x175064, 0x1A546A}},
    {40,
     {0x1C2D47, 0x253650, 0x283D58, 0x2A425A, 0x2B455E, 0x27455F, 0x24465F, 0xF5F9FA, 0xF6F7FB,
      0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x19556F}},
    {80,
     {0x23344E, 0x293D56, 0x2E445C, 0x314961, 0x304C64, 0x2D4B63, 0x284A63, 0xF5F9FA, 0xE3E9F5,
      0x555B69, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x1A5871}},
    {120,
     {0x243851, 0x2D425D, 0x334B63, 0xFBFCFE, 0xFBFCFE, 0x325269, 0x2C4E67, 0xF5F9FA, 0xF6F7FB,
      0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x1A5A73}},
    {160,
     {0x273D55, 0x2E465E, 0x364E66, 0xFBFCFE, 0xFBFCFE, 0x36566D, 0x2E526A, 0xF5F9FA, 0xF6F7FB,
      0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x1A5C76}},
    {200,
     {0x263E58, 0x2F475F, 0xFCFFFF, 0x39576F, 0x3A596E, 0x34566F, 0x2F556C, 0xF5F9FA, 0xF3F6FB,
      0xF6F7FB, 0xF5F6FA, 0xF6F7FB, 0xF4F5F9, 0xF6F7FB, 0x1B5E78}},
    {240,
     {0x253F58, 0x2C4860, 0x314F67, 0x35536B, 0x34566F, 0x30566D, 0x2B536C, 0xF5F9FA, 0xF6FAFD,
      0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x1A6079}},
    {280,
     {0x223D58, 0x27455F, 0x2C4C63, 0x2E5167, 0x2F536D, 0x2B536C, 0x27536C, 0xF5F9FA, 0xF6F7FB,
      0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x1B637B}},
    {320,
     {0x1E3C56, 0x23435C, 0x254961, 0x284D67, 0x285069, 0x26536A, 0x24526A, 0xF5F9FA, 0xF6F7FB,
      0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0xF6F7FB, 0x1B667D}},
    {360,
     {0x183A55, 0x1D415B, 0x214660, 0x244964, 0x224E67, 0x214F69, 0x1D4F68, 0x1A506A, 0x19526D,
      0x195770, 0x195972, 0x1A5C76, 0x1A6079, 0x1B627E, 0x1B677F}},
    {400,
     {0x294B64, 0x2C4F65, 0x2F536D, 0x2F586E, 0x315B71, 0x2F5C73, 0x2D5D74, 0x2D5F78, 0x2D637B,
      0x1B5771, 0x195B73, 0x1D5F79, 0x2F7086, 0x30728C, 0x30778D}},
    {440,
     {0x436277, 0x45657A, 0x44677B, 0x45697F, 0x446D81, 0x437083, 0x457287, 0x46748B, 0x47778B,
      0x477A8F, 0x467D91, 0x478093, 0x488296, 0x47859A, 0x48899B}},
    {479,
     {0x446479, 0x45657C, 0x446A7F, 0x466C81, 0x456E82, 0x467184, 0x467589, 0x47778B, 0x46798C,
      0x477B90, 0x467F92, 0x478294, 0x468398, 0x488799, 0x488B9C}},
};
constexpr double kLibjpegMeanBgr[] = {160.995, 145.534, 119.942};

TEST(WicJpegDecoder, BackgroundComesOutAsLibjpegGivesItOnLinux) {
  TJPEGImage image;
  image.LoadFromBytes(ReadAsset("background.jpg"));
  EXPECT_EQ(image.Width(), 640);
  EXPECT_EQ(image.Height(), 480);
  const TBitmap& bitmap = image.Bitmap();
  ASSERT_EQ(bitmap.Width, 640);
  ASSERT_EQ(bitmap.Height, 480);
  ASSERT_EQ(bitmap.Pixels.size(), 640u * 3 * 480);

  for (const GridRow& row : kLibjpegGrid) {
    for (std::size_t i = 0; i < std::size(kGridX); ++i) {
      const std::uint32_t ours = PixelAt(bitmap, kGridX[i], row.y);
      EXPECT_LE(ChannelDistance(ours, row.rgb[i]), kTolerance)
          << "(" << kGridX[i] << ", " << row.y << "): " << std::hex << ours << " instead of "
          << row.rgb[i];
    }
  }
  double sum[3] = {0, 0, 0};
  for (int y = 0; y < 480; ++y) {
    for (int i = 0; i < 640 * 3; ++i) sum[i % 3] += bitmap.Row(y)[i];
  }
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(sum[c] / (640 * 480), kLibjpegMeanBgr[c], 0.5) << c;
}

// Writes a baseline JPEG bit by bit: Huffman codes most significant bit first, a zero byte
// stuffed after every 0xFF, the last byte padded with ones.
class BitWriter {
 public:
  void Put(unsigned bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      byte_ = static_cast<unsigned>(byte_ << 1 | ((bits >> i) & 1));
      if (++filled_ == 8) Flush();
    }
  }
  std::string Finish() {
    while (filled_ != 0) Put(1, 1);
    return out_;
  }

 private:
  void Flush() {
    out_ += static_cast<char>(byte_);
    if (byte_ == 0xFF) out_ += '\0';
    byte_ = 0;
    filled_ = 0;
  }
  std::string out_;
  unsigned byte_ = 0;
  int filled_ = 0;
};

std::string Segment(unsigned marker, const std::string& body) {
  const std::size_t length = body.size() + 2;
  return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                     static_cast<char>(length & 0xFF)} +
         body;
}

std::string Word(unsigned value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

// A JPEG whose 8×8 blocks are each one flat value per component (blocks[c][block], blocks in
// rows from the top; 1 component is grey, 3 are Y, Cb, Cr at full resolution). Only the DC
// coefficient is coded, quantised by 1, so every decoder gives back the values themselves:
// DC = 8 × (value - 128). DC table: category s has the 4-bit code s; AC table: only the
// end-of-block code "0".
std::string FlatBlockJpeg(int width, int height, const std::vector<std::vector<int>>& blocks) {
  const int components = static_cast<int>(blocks.size());
  std::string jpeg = "\xFF\xD8";
  jpeg += Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
  jpeg += Segment(0xDB, std::string(1, '\0') + std::string(64, '\x01'));
  std::string frame = "\x08" + Word(height) + Word(width) + static_cast<char>(components);
  for (int c = 0; c < components; ++c) frame += {static_cast<char>(c + 1), '\x11', '\0'};
  jpeg += Segment(0xC0, frame);
  std::string tables(1, '\x00');  // DC table 0: twelve codes of 4 bits for categories 0-11
  tables += std::string(3, '\0') + '\x0C' + std::string(12, '\0');
  for (char s = 0; s < 12; ++s) tables += s;
  tables += '\x10';  // AC table 0: one code of 1 bit for end of block
  tables += '\x01' + std::string(15, '\0') + '\0';
  jpeg += Segment(0xC4, tables);
  std::string scan(1, static_cast<char>(components));
  for (int c = 0; c < components; ++c) scan += {static_cast<char>(c + 1), '\0'};
  jpeg += Segment(0xDA, scan + std::string("\0\x3F\0", 3));

  BitWriter bits;
  std::vector<int> previous(components, 0);
  for (std::size_t block = 0; block < blocks[0].size(); ++block) {
    for (int c = 0; c < components; ++c) {
      const int dc = 8 * (blocks[c][block] - 128);
      const int diff = dc - previous[c];
      previous[c] = dc;
      int category = 0;
      while ((std::abs(diff) >> category) != 0) ++category;
      bits.Put(static_cast<unsigned>(category), 4);
      bits.Put(static_cast<unsigned>(diff >= 0 ? diff : diff + (1 << category) - 1), category);
      bits.Put(0, 1);  // end of block
    }
  }
  return jpeg + bits.Finish() + "\xFF\xD9";
}

// JFIF's YCbCr to RGB, as 0xRRGGBB.
std::uint32_t RgbOf(int y, int cb, int cr) {
  auto clamp = [](double v) { return static_cast<std::uint32_t>(std::clamp(v + 0.5, 0.0, 255.0)); };
  return clamp(y + 1.402 * (cr - 128)) << 16 |
         clamp(y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128)) << 8 |
         clamp(y + 1.772 * (cb - 128));
}

TEST(WicJpegDecoder, PicturesMadeHereComeOutInTheBitmapLayout) {
  struct Case {
    const char* what;
    int width, height;
    std::vector<std::vector<int>> blocks;  // per component, 2 × 2 blocks or 2 × 1
    std::vector<std::uint32_t> expected;   // 0xRRGGBB per block
  };
  const Case cases[] = {
      // 13 pixels make rows of 39 bytes padded to 40; the right and bottom blocks are cut.
      {"colour 13x10",
       13,
       10,
       {{100, 120, 150, 230}, {100, 200, 60, 140}, {200, 90, 60, 135}},
       {RgbOf(100, 100, 200), RgbOf(120, 200, 90), RgbOf(150, 60, 60), RgbOf(230, 140, 135)}},
      // Grey becomes three equal channels; 9 pixels make rows of 27 bytes padded to 28.
      {"grey 9x3", 9, 3, {{30, 220}}, {0x1E1E1E, 0xDCDCDC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string jpeg = FlatBlockJpeg(c.width, c.height, c.blocks);
    const JpegSize size = ReadJpegSize(jpeg);
    EXPECT_EQ(size.Width, c.width);
    EXPECT_EQ(size.Height, c.height);
    const TBitmap bitmap = DecodeJpeg(jpeg);
    ASSERT_EQ(bitmap.Width, c.width);
    ASSERT_EQ(bitmap.Height, c.height);
    ASSERT_EQ(bitmap.Pixels.size(),
              static_cast<std::size_t>(TBitmap::StrideFor(c.width)) * c.height);
    const int blocks_across = (c.width + 7) / 8;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const std::uint32_t want = c.expected[(y / 8) * blocks_across + x / 8];
        const std::uint32_t got = PixelAt(bitmap, x, y);
        ASSERT_LE(ChannelDistance(got, want), kTolerance)
            << "(" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
      }
    }
  }
}

// The background with its scan pointing at a Huffman table nobody defined: the header reads,
// the decoding fails.
std::string WithUndefinedHuffmanTable(std::string jpeg) {
  const std::size_t scan = jpeg.find("\xFF\xDA");
  if (scan == std::string::npos) {
    ADD_FAILURE() << "no scan";
    return jpeg;
  }
  jpeg[scan + 6] = '\x33';  // first component: DC and AC table 3
  return jpeg;
}

TEST(WicJpegDecoder, WhatIsNoJpegIsRefusedWithEJPEG) {
  const std::string background = ReadAsset("background.jpg");
  const std::string png = ReadAsset("kelvarin.png");
  ASSERT_EQ(png.substr(1, 3), "PNG");
  // WIC would decode a PNG happily through a decoder of its own choice.
  for (const std::string& bytes : {png, std::string("This is a text file, not a picture."),
                                   std::string(), background.substr(0, 100)}) {
    SCOPED_TRACE(bytes.substr(0, 8));
    try {
      ReadJpegSize(bytes);
      ADD_FAILURE() << "header accepted";
    } catch (const EJPEG& e) {
      EXPECT_EQ(e.Message(), test::ProgramText("JPEG エラー #") + std::to_string(e.MessageCode));
      EXPECT_NE(e.MessageCode, 0);
    }
    EXPECT_THROW(DecodeJpeg(bytes), EJPEG);
  }
  EXPECT_THROW(DecodeJpeg(WithUndefinedHuffmanTable(background)), EJPEG);
}

}  // namespace
}  // namespace kel
