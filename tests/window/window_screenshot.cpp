// window_screenshot SOURCE OUTPUT BMP: starts the main window as the program does, types the
// two folders into the fields, clicks "圧縮実行", waits for the completion text and saves the
// window's client area as a 24-bit BMP. The same on both backends, through the test driver;
// run under a real display (scripts/screenshot.sh, scripts/screenshot-windows.sh). Exits 1
// when the run does not complete or the picture cannot be written.
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "gui/application.h"
#include "gui/std_controls.h"
#include "window/form_description.h"
#include "window/main_form.h"
#include "window/window_driver.h"

namespace kel {
namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// A top-down 24-bit BMP: the bitmap's rows are already laid out as the format wants them.
bool WriteBmp(const TBitmap& bitmap, const char* path) {
  const std::uint32_t pixels = static_cast<std::uint32_t>(bitmap.Pixels.size());
  std::string out = "BM";
  PutLittleEndian(out, 14 + 40 + pixels, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 14 + 40, 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(bitmap.Width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(-bitmap.Height), 4);
  PutLittleEndian(out, 1, 2);   // planes
  PutLittleEndian(out, 24, 2);  // bits a pixel
  PutLittleEndian(out, 0, 4);   // no compression
  PutLittleEndian(out, pixels, 4);
  PutLittleEndian(out, 2835, 4);  // 72 dpi
  PutLittleEndian(out, 2835, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 0, 4);
  out.append(reinterpret_cast<const char*>(bitmap.Pixels.data()), bitmap.Pixels.size());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(file);
}

int Shoot(const char* source, const char* output, const char* bmp) {
  Application.Title = "Kelvarin";
  Application.SetIcon(TIcon{std::string(Form1Description().Icon)});
  Application.CreateForm(Form1);
  if (!test::ShowAndActivate(*Form1)) return 1;
  test::Type(*Form1->Edit1, source);
  test::Type(*Form1->Edit2, output);
  test::Click(*Form1->Button1);
  const std::string done = test::ProgramText("圧縮が完了しました．");
  if (!test::WaitUntil([&] { return Form1->Panel1->Caption() == done; }, 60000)) {
    std::fprintf(stderr, "the run did not complete: %s\n", Form1->Panel1->Caption().c_str());
    return 1;
  }
  Form1->Button2->SetFocus();
  test::Wait(300);  // the last paints reach the display
  const TBitmap shot = test::Capture(*Form1);
  if (shot.Empty() || !WriteBmp(shot, bmp)) return 1;
  std::printf("%s: %dx%d\n", bmp, shot.Width, shot.Height);
  Form1->Close();
  return 0;
}

}  // namespace
}  // namespace kel

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc != 4) {
    std::fprintf(stderr, "usage: window_screenshot SOURCE OUTPUT BMP\n");
    return 2;
  }
  const kel::test::ToolkitSession toolkit(argc, argv);
  const int status = kel::Shoot(argv[1], argv[2], argv[3]);
  kel::Application.Shutdown();
  return status;
}
