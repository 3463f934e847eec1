// Draws the program's pictures and writes them into a folder (normally assets/):
//   background.jpg  640 x 480, the window's background: baseline JFIF 1.00, 72 dpi, YCbCr
//                   without chroma subsampling, one interleaved scan
//   kelvarin.png    120 x 120, the window and application icon
// Usage: make_pictures OUTPUT_FOLDER
//        make_pictures --icon SIZE FILE   the icon alone, drawn at SIZE x SIZE (the desktop's
//                                         icon theme wants 48, 128 and 256; the Windows icon
//                                         16, 32, 48 and 256, kept in assets/: see its
//                                         README.md)
// The controls sit on the right of the window (fields at x 328..601, buttons at x 528, the
// status panel at y 264, the start button at 352,296), so the right side stays calm and the
// design lives on the left.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// clang-format off: jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
// clang-format on

namespace {

const QColor kNavy(0x14, 0x23, 0x3f);
const QColor kTeal(0x1c, 0x6e, 0x86);
const QColor kAmber(0xf2, 0xa5, 0x41);
const QColor kInk(0x24, 0x33, 0x4a);

QFont Font(const QString& family, int pixels, int weight = QFont::Normal) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

// A folder whose front carries a zip fastener: the program's emblem. `r` is its bounding box.
void DrawEmblem(QPainter& p, const QRectF& r, const QColor& body, const QColor& tab,
                const QColor& teeth) {
  const double w = r.width(), h = r.height();
  QPainterPath back;
  back.moveTo(r.left(), r.top() + h * 0.12);
  back.lineTo(r.left() + w * 0.36, r.top() + h * 0.12);
  back.lineTo(r.left() + w * 0.44, r.top());
  back.lineTo(r.right(), r.top());
  back.lineTo(r.right(), r.bottom());
  back.lineTo(r.left(), r.bottom());
  back.closeSubpath();
  p.fillPath(back, tab);

  QRectF front(r.left(), r.top() + h * 0.2, w, h * 0.8);
  QPainterPath front_path;
  front_path.addRoundedRect(front, w * 0.06, w * 0.06);
  p.fillPath(front_path, body);

  // The fastener down the middle of the front: a tape and interlocking teeth.
  const double x = front.center().x();
  const double tooth = w * 0.075;
  const double pitch = tooth * 0.62;
  const double end = front.bottom() - h * 0.2;
  p.fillRect(QRectF(x - tooth * 0.25, front.top(), tooth * 0.5, end - front.top()),
             teeth.darker(125));
  for (int i = 0; front.top() + h * 0.03 + (i + 1) * pitch < end; ++i) {
    double y = front.top() + h * 0.03 + i * pitch;
    double left = (i % 2 == 0) ? x - tooth * 0.95 : x - tooth * 0.05;
    QPainterPath t;
    t.addRoundedRect(QRectF(left, y, tooth, pitch * 0.78), pitch * 0.3, pitch * 0.3);
    p.fillPath(t, teeth);
  }
  // The pull.
  QRectF pull(x - tooth * 0.75, end - h * 0.02, tooth * 1.5, h * 0.17);
  QPainterPath pull_path;
  pull_path.addRoundedRect(pull, tooth * 0.5, tooth * 0.5);
  p.fillPath(pull_path, teeth);
  QPainterPath hole;
  hole.addRoundedRect(pull.adjusted(tooth * 0.4, tooth * 0.5, -tooth * 0.4, -tooth * 0.5),
                      tooth * 0.2, tooth * 0.2);
  p.fillPath(hole, body);
}

void DrawBackdrop(QPainter& p) {
  QLinearGradient sky(0, 0, 640, 480);
  sky.setColorAt(0.0, kNavy);
  sky.setColorAt(1.0, kTeal);
  p.fillRect(QRect(0, 0, 640, 480), sky);

  // Soft light from the upper left, behind the emblem.
  QRadialGradient glow(150, 170, 260);
  glow.setColorAt(0.0, QColor(255, 255, 255, 46));
  glow.setColorAt(1.0, QColor(255, 255, 255, 0));
  p.fillRect(QRect(0, 0, 640, 480), glow);

  // Two gentle waves along the bottom.
  for (int i = 0; i < 2; ++i) {
    QPainterPath wave;
    double base = 400 + i * 24;
    wave.moveTo(0, base);
    wave.cubicTo(180, base - 46 + i * 14, 420, base + 40 - i * 10, 640, base - 20);
    wave.lineTo(640, 480);
    wave.lineTo(0, 480);
    wave.closeSubpath();
    p.fillPath(wave, QColor(255, 255, 255, i == 0 ? 22 : 30));
  }
}

// The light card behind the controls, with the labels of the fields.
void DrawCard(QPainter& p) {
  const QRectF card(310, 8, 314, 332);
  QPainterPath shape;
  shape.addRoundedRect(card, 10, 10);
  for (int i = 1; i <= 6; ++i) {  // a faint shadow below the card
    QPainterPath s;
    s.addRoundedRect(card.translated(0, i * 0.8).adjusted(-i * 0.5, 0, i * 0.5, i * 0.5), 10, 10);
    p.fillPath(s, QColor(0, 0, 0, 7));
  }
  p.fillPath(shape, QColor(0xf5, 0xf7, 0xfa));
  p.setPen(QPen(QColor(255, 255, 255, 180), 1));
  p.drawPath(shape);

  const QFont label = Font("IPAPGothic", 12, QFont::Bold);
  p.setFont(label);
  p.setPen(kInk);
  p.drawText(QRectF(328, 13, 273, 16), Qt::AlignLeft | Qt::AlignVCenter, "圧縮するフォルダ");
  p.drawText(QRectF(328, 69, 190, 16), Qt::AlignLeft | Qt::AlignVCenter, "保存先フォルダ");
  p.drawText(QRectF(328, 245, 273, 16), Qt::AlignLeft | Qt::AlignVCenter, "進行状況");

  // A thin rule between the folder settings and the progress, with a hint.
  p.setPen(QPen(QColor(0xd3, 0xda, 0xe3), 1));
  p.drawLine(QPointF(328, 164.5), QPointF(601, 164.5));
  p.setFont(Font("IPAPGothic", 12));
  p.setPen(QColor(0x5b, 0x67, 0x78));
  p.drawText(
      QRectF(328, 176, 273, 60), Qt::AlignLeft | Qt::TextWordWrap,
      "フォルダの中のファイルを一つずつ\nZip 書庫にまとめ、一覧を files.txt に書き出します。");

  // The accent stripe on the card's left edge.
  QPainterPath stripe;
  stripe.addRoundedRect(QRectF(310, 8, 5, 332), 2.5, 2.5);
  p.fillPath(stripe, kAmber);
}

void DrawBrand(QPainter& p) {
  DrawEmblem(p, QRectF(104, 92, 104, 84), QColor(0xfb, 0xfc, 0xfd), QColor(0xc9, 0xd6, 0xe3),
             kAmber);

  p.setPen(Qt::white);
  p.setFont(Font("URW Gothic", 46, QFont::DemiBold));
  p.drawText(QRectF(20, 188, 272, 56), Qt::AlignHCenter | Qt::AlignVCenter, "Kelvarin");

  p.fillRect(QRectF(126, 250, 60, 3), kAmber);

  p.setFont(Font("IPAPGothic", 15));
  p.setPen(QColor(255, 255, 255, 230));
  p.drawText(QRectF(20, 262, 272, 22), Qt::AlignHCenter | Qt::AlignVCenter,
             "フォルダ一括 Zip 圧縮ツール");

  p.setFont(Font("DejaVu Sans", 10));
  p.setPen(QColor(255, 255, 255, 150));
  p.drawText(QRectF(20, 450, 272, 16), Qt::AlignLeft | Qt::AlignVCenter, "Version 1.0");
}

QImage Background() {
  QImage image(640, 480, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  DrawBackdrop(p);
  DrawCard(p);
  DrawBrand(p);
  return image;
}

// The icon is designed on a 120 x 120 grid and scaled as a drawing, so every size is sharp.
QImage Icon(int size = 120) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 120.0, size / 120.0);
  QPainterPath tile;
  tile.addRoundedRect(QRectF(4, 4, 112, 112), 24, 24);
  QLinearGradient fill(0, 4, 120, 116);
  fill.setColorAt(0.0, kNavy);
  fill.setColorAt(1.0, kTeal);
  p.fillPath(tile, fill);
  p.setPen(QPen(QColor(255, 255, 255, 60), 1.5));
  p.drawPath(tile);
  DrawEmblem(p, QRectF(22, 28, 76, 64), QColor(0xfb, 0xfc, 0xfd), QColor(0xc9, 0xd6, 0xe3), kAmber);
  return image;
}

// ---------------------------------------------------------------------------------------------

struct JpegWriter {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  JpegWriter() {
    cinfo.err = jpeg_std_error(&err);  // a failure here ends the tool, which is what we want
    jpeg_create_compress(&cinfo);
  }
  ~JpegWriter() { jpeg_destroy_compress(&cinfo); }
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool WriteJpeg(const QImage& picture, const std::string& path) {
  QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  JpegWriter jpeg;
  jpeg_stdio_dest(&jpeg.cinfo, file.get());
  jpeg.cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
  jpeg.cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
  jpeg.cinfo.input_components = 3;
  jpeg.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&jpeg.cinfo);           // YCbCr, one interleaved sequential scan
  jpeg_set_quality(&jpeg.cinfo, 92, TRUE);  // baseline tables
  jpeg.cinfo.optimize_coding = TRUE;        // Huffman tables fitted to the picture
  jpeg.cinfo.JFIF_major_version = 1;
  jpeg.cinfo.JFIF_minor_version = 0;
  jpeg.cinfo.density_unit = 1;  // dots per inch
  jpeg.cinfo.X_density = 72;
  jpeg.cinfo.Y_density = 72;
  for (int i = 0; i < 3; ++i) {  // no chroma subsampling: text stays sharp
    jpeg.cinfo.comp_info[i].h_samp_factor = 1;
    jpeg.cinfo.comp_info[i].v_samp_factor = 1;
  }
  jpeg_start_compress(&jpeg.cinfo, TRUE);
  while (jpeg.cinfo.next_scanline < jpeg.cinfo.image_height) {
    JSAMPROW row =
        const_cast<uchar*>(rgb.constScanLine(static_cast<int>(jpeg.cinfo.next_scanline)));
    jpeg_write_scanlines(&jpeg.cinfo, &row, 1);
  }
  jpeg_finish_compress(&jpeg.cinfo);
  return std::fflush(file.get()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool icon_only = argc == 4 && std::string(argv[1]) == "--icon";
  const int icon_size = icon_only ? std::atoi(argv[2]) : 0;
  if ((argc != 2 && !icon_only) || (icon_only && (icon_size < 16 || icon_size > 1024))) {
    std::fprintf(stderr,
                 "usage: make_pictures OUTPUT_FOLDER\n"
                 "       make_pictures --icon SIZE FILE   (SIZE 16 to 1024)\n");
    return 2;
  }
  // Text needs a QGuiApplication; no display is needed to paint into images.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (icon_only) {
    if (!Icon(icon_size).save(QString::fromLocal8Bit(argv[3]), "PNG")) {
      std::fprintf(stderr, "make_pictures: cannot write %s\n", argv[3]);
      return 1;
    }
    return 0;
  }
  const std::string folder = argv[1];
  if (!WriteJpeg(Background(), folder + "/background.jpg")) {
    std::fprintf(stderr, "make_pictures: cannot write %s/background.jpg\n", folder.c_str());
    return 1;
  }
  if (!Icon().save(QString::fromStdString(folder + "/kelvarin.png"), "PNG")) {
    std::fprintf(stderr, "make_pictures: cannot write %s/kelvarin.png\n", folder.c_str());
    return 1;
  }
  return 0;
}
