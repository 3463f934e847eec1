#include "app/start_sequence.h"

#include <QApplication>
#include <clocale>

#include "app/form_builder.h"
#include "app/form_description.h"
#include "app/main_form.h"
#include "gui/application.h"
#include "gui/graphics.h"
#include "gui/jpeg_image.h"

namespace kel {

namespace {

void RegisterJpegPictureKind() {
  auto jpeg = [] { return std::unique_ptr<TGraphic>(std::make_unique<TJPEGImage>()); };
  RegisterFileFormat("jpeg", "JPEG イメージファイル", "TJPEGImage", jpeg);
  RegisterFileFormat("jpg", "JPEG イメージファイル", "TJPEGImage", jpeg);
}

}  // namespace

int RunKelvarin(int& argc, char** argv) noexcept {
  // Names and texts are bytes in the user's code page.
  std::setlocale(LC_ALL, "");
  return RunStartSequence([&] {
    RegisterJpegPictureKind();
    Application.Initialize(argc, argv);
    // Lets a desktop match the window to kelvarin.desktop (its icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("kelvarin"));
    QApplication::setWindowIcon(IconFromPng(Form1Description().Icon));
    Application.Title = "Kelvarin";
    Application.CreateForm(Form1);
    Application.Run();
  });
}

}  // namespace kel
