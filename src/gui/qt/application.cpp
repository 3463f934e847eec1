// The application object on Qt: the QApplication, Run's event loop and the program's file name.
#include "gui/application.h"

#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "gui/form.h"
#include "gui/qt/qt_window.h"

namespace kel {

std::string ModuleFileName() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "kelvarin";
  std::string path(buffer, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// The one line for a start that found no window system, naming the display settings Qt was
// given.
std::string NoDisplayLine() {
  std::string settings;
  for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
    const QByteArray value = qgetenv(name);
    if (value.isEmpty()) continue;
    if (!settings.empty()) settings += ", ";
    settings += std::string(name) + "=" + value.toStdString();
  }
  if (settings.empty()) settings = "DISPLAY も WAYLAND_DISPLAY も設定されていません";
  // "<program>: cannot start, as no display can be reached (<settings>)"
  return ModuleFileName() + ": ディスプレイに接続できないため起動できません (" + settings + ")";
}

// Qt's messages while the QApplication is being made. Without a reachable display the
// platform plugin explains its failure in warnings of the qt.qpa categories and then ends the
// process through qFatal, which aborts with a core dump; instead the user gets one line and
// exit status 1. Other messages are written as Qt's own handler writes them to a console.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", NoDisplayLine().c_str());
    std::fflush(stderr);
    // Static destructors must not run inside the half-made QApplication.
    std::_Exit(1);
  }
  const char* category = context.category ? context.category : "";
  if (std::string_view(category).starts_with("qt.qpa")) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// Installs StartupMessageHandler for its lifetime and puts the previous handler back.
class StartupMessageScope {
 public:
  StartupMessageScope() : previous_(qInstallMessageHandler(&StartupMessageHandler)) {}
  ~StartupMessageScope() { qInstallMessageHandler(previous_); }
  StartupMessageScope(const StartupMessageScope&) = delete;
  StartupMessageScope& operator=(const StartupMessageScope&) = delete;

 private:
  QtMessageHandler previous_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

struct TApplication::Toolkit {
  std::unique_ptr<QApplication> own_qt_app;
  QEventLoop* loop = nullptr;  // Run's loop while it runs
};

TApplication::TApplication() : TComponent(nullptr), toolkit_(std::make_unique<Toolkit>()) {}

TApplication::~TApplication() { Shutdown(); }

void TApplication::Initialize(int& argc, char** argv) {
  terminated_ = false;
  if (QApplication::instance()) return;
  const StartupMessageScope messages;
  toolkit_->own_qt_app = std::make_unique<QApplication>(argc, argv);
  // Lets a desktop match the window to the program's desktop file, named as the program (its
  // icon on Wayland).
  QGuiApplication::setDesktopFileName(QString::fromStdString(ModuleFileName()));
}

void TApplication::SetIcon(const TIcon& icon) {
  QImage image = QImage::fromData(
      QByteArray::fromRawData(icon.Png.data(), static_cast<qsizetype>(icon.Png.size())), "PNG");
  if (!image.isNull()) QApplication::setWindowIcon(QIcon(QPixmap::fromImage(image)));
}

void TApplication::Run() {
  if (!main_form_ || !QApplication::instance()) return;
  // Only the main form's close ends the loop (through Terminate), not the closing of whatever
  // window happened to be the last one visible (an error box shown before the main form).
  QApplication::setQuitOnLastWindowClosed(false);
  main_form_->Show();
  if (terminated_) return;
  QEventLoop loop;
  toolkit_->loop = &loop;
  loop.exec();
  toolkit_->loop = nullptr;
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TApplication::Terminate() {
  terminated_ = true;
  // Only Run's own loop is told to end; nested loops (a message box, a dialog) go on and the
  // outer loop stops once control is back in it.
  if (toolkit_->loop) toolkit_->loop->exit(0);
}

void TApplication::Shutdown() noexcept {
  DestroyComponents();
  main_form_ = nullptr;
  terminated_ = false;
  toolkit_->own_qt_app.reset();
}

NativeWindow TApplication::ActiveWindow() const {
  return QApplication::instance() ? Native(QApplication::activeWindow()) : nullptr;
}

void TApplication::CancelMouseCapture() noexcept {
  if (!QApplication::instance()) return;
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

}  // namespace kel
