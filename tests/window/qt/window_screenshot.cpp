// window_screenshot SOURCE OUTPUT PNG: starts the main window as the program does, types the
// two folders into the fields, clicks "圧縮実行", waits for the completion text and saves what
// the display shows of the window as PNG. Run under a real X server (scripts/screenshot.sh);
// exits 1 when the run does not complete or the picture cannot be taken.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <clocale>
#include <cstdio>

#include "job/archive_step.h"
#include "window/form_builder.h"
#include "window/form_description.h"
#include "window/main_form.h"
#include "gui/application.h"
#include "gui/qt/qt_window.h"
#include "gui/std_controls.h"

namespace kel {
namespace {

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void Type(TEdit* edit, const char* text) {
  edit->SetFocus();
  QTest::keyClicks(Widget(edit->Handle()), QString::fromLocal8Bit(text));
}

int Shoot(const char* source, const char* output, const char* png) {
  Application.Title = "Kelvarin";
  Application.SetIcon(TIcon{std::string(Form1Description().Icon)});
  Application.CreateForm(Form1);
  Form1->Show();
  if (!QTest::qWaitForWindowExposed(Widget(Form1->Handle()))) return 1;
  Type(Form1->Edit1, source);
  Type(Form1->Edit2, output);
  QTest::mouseClick(Widget(Form1->Button1->Handle()), Qt::LeftButton);
  if (!WaitUntil([] { return Form1->Panel1->Caption() == kCompletionText; }, 60000)) {
    std::fprintf(stderr, "the run did not complete: %s\n", Form1->Panel1->Caption().c_str());
    return 1;
  }
  Form1->Button2->SetFocus();
  QTest::qWait(300);  // the last paints reach the server
  QWidget* window = Widget(Form1->Handle());
  QPixmap shot = window->screen()->grabWindow(window->winId());
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(png), "PNG")) return 1;
  std::printf("%s: %dx%d\n", png, shot.width(), shot.height());
  Form1->Close();
  return 0;
}

}  // namespace
}  // namespace kel

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc != 4) {
    std::fprintf(stderr, "usage: window_screenshot SOURCE OUTPUT PNG\n");
    return 2;
  }
  QApplication app(argc, argv);
  const int status = kel::Shoot(argv[1], argv[2], argv[3]);
  kel::Application.Shutdown();
  return status;
}
