// The picture registry and the tagged form of a picture in a window description.
#include "gui/graphics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "gui/jpeg_image.h"
#include "support/program_text.h"

namespace kel {
namespace {

using test::ProgramText;

std::string ReadAsset(const std::string& name) {
  std::ifstream in(std::string(KEL_ASSETS_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The tagged form built by hand: length byte, name, count as 32-bit little-endian, bytes.
std::string Tagged(const std::string& name, const std::string& bytes) {
  std::string out(1, static_cast<char>(name.size()));
  out += name;
  const auto n = static_cast<std::uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  return out + bytes;
}

TEST(GraphicRegistry, JpegKindIsRegisteredForBothExtensionsAtStart) {
  for (const char* ext : {"jpeg", "jpg", "JPG"}) {
    const TGraphicKind* kind = FindFileFormat(ext);
    ASSERT_NE(kind, nullptr) << ext;
    EXPECT_EQ(kind->ClassName, "TJPEGImage");
    EXPECT_EQ(kind->Description, ProgramText("JPEG イメージファイル"));
  }
  EXPECT_EQ(FindFileFormat("bmp"), nullptr);
  std::unique_ptr<TGraphic> graphic = CreateGraphic("TJPEGImage");
  ASSERT_NE(graphic, nullptr);
  EXPECT_STREQ(graphic->ClassName(), "TJPEGImage");
  EXPECT_EQ(graphic->Width(), 0);
  EXPECT_EQ(CreateGraphic("TBitmap"), nullptr);
}

class TNullGraphic : public TGraphic {
 public:
  const char* ClassName() const noexcept override { return "TNullGraphic"; }
  void LoadFromBytes(std::string bytes) override { size_ = static_cast<int>(bytes.size()); }
  int Width() const override { return size_; }
  int Height() const override { return 1; }
  void Draw(TCanvas&, int, int) override {}

 private:
  int size_ = 0;
};

TEST(GraphicRegistry, LaterRegistrationOfAnExtensionReplacesTheEarlierOne) {
  auto make = [] { return std::unique_ptr<TGraphic>(std::make_unique<TNullGraphic>()); };
  RegisterFileFormat("kelt", "first", "TNullGraphic", make);
  RegisterFileFormat("KELT", "second", "TNullGraphic", make);
  int found = 0;
  for (const TGraphicKind& kind : RegisteredFileFormats()) {
    if (kind.Extension == "kelt" || kind.Extension == "KELT") ++found;
  }
  EXPECT_EQ(found, 1);
  EXPECT_EQ(FindFileFormat("kelt")->Description, "second");
  // A registered class is readable from the tagged form too.
  std::unique_ptr<TGraphic> g = ReadTaggedGraphic(Tagged("TNullGraphic", "abc"));
  EXPECT_EQ(g->Width(), 3);
}

TEST(TaggedGraphic, ReadsTheBackgroundAndStopsAtItsEnd) {
  const std::string jpeg = ReadAsset("background.jpg");
  ASSERT_GT(jpeg.size(), 1000u);
  const std::string stream = Tagged("TJPEGImage", jpeg) + "rest of the description";
  EXPECT_EQ(WriteTaggedGraphic("TJPEGImage", jpeg), Tagged("TJPEGImage", jpeg));

  std::size_t consumed = 0;
  std::unique_ptr<TGraphic> graphic = ReadTaggedGraphic(stream, &consumed);
  ASSERT_NE(graphic, nullptr);
  EXPECT_STREQ(graphic->ClassName(), "TJPEGImage");
  EXPECT_EQ(graphic->Width(), 640);
  EXPECT_EQ(graphic->Height(), 480);
  EXPECT_EQ(consumed, 1 + 10 + 4 + jpeg.size());
}

TEST(TaggedGraphic, TruncatedStreamIsRefusedAtEveryCut) {
  const std::string stream = Tagged("TJPEGImage", ReadAsset("background.jpg"));
  // Inside the name, inside the count, inside the data, and one byte short.
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{11}, std::size_t{13},
        std::size_t{15}, std::size_t{16}, stream.size() / 2, stream.size() - 1}) {
    try {
      ReadTaggedGraphic(std::string_view(stream).substr(0, cut));
      ADD_FAILURE() << "cut at " << cut << " was accepted";
    } catch (const EStreamError& e) {
      EXPECT_EQ(e.Message(), ProgramText("ストリームの読み込みエラー")) << cut;
    }
  }
}

TEST(TaggedGraphic, HugeCountIsRefusedWithoutReadingFurther) {
  std::string stream = Tagged("TJPEGImage", "");
  stream[11] = stream[12] = stream[13] = stream[14] = '\xFF';  // 4 GiB - 1 announced
  stream += "\xFF\xD8";
  EXPECT_THROW(ReadTaggedGraphic(stream), EStreamError);
}

TEST(TaggedGraphic, UnknownClassAndRefusedDataAreInvalidGraphics) {
  EXPECT_THROW(ReadTaggedGraphic(Tagged("TMetafile", "xyz")), EInvalidGraphic);
  // A known class whose data is no JPEG.
  EXPECT_THROW(ReadTaggedGraphic(Tagged("TJPEGImage", "GIF89a....")), EJPEG);
}

}  // namespace
}  // namespace kel
