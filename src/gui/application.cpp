#include "gui/application.h"

#include <cxxabi.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <typeinfo>

#include "gui/form.h"
#include "gui/message_box.h"
#include "platform/code_page.h"
#include "platform/error_text.h"
#include "platform/exceptions.h"

namespace kel {

TApplication Application;

namespace {

// The name of the program's file without its folder.
std::string ModuleFileName() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "kelvarin";
  std::string path(buffer, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Demangled(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}

struct ErrorParts {
  std::string class_name;
  std::string message;
};

ErrorParts Describe(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return {e.ClassName(), e.Message()};
  } catch (const std::exception& e) {
    return {Demangled(typeid(e).name()), e.what()};
  } catch (...) {
    std::type_info* type = abi::__cxa_current_exception_type();
    return {type ? Demangled(type->name()) : "Exception", ""};
  }
}

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

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { Shutdown(); }

void TApplication::Initialize(int& argc, char** argv) {
  terminated_ = false;
  if (QApplication::instance()) return;
  const StartupMessageScope messages;
  own_qt_app_ = std::make_unique<QApplication>(argc, argv);
}

void TApplication::FormCreated(TForm* form) {
  if (!main_form_) {
    main_form_ = form;
    form->Handle();
  }
  form->DoCreate();
}

void TApplication::SetIcon(const QIcon& icon) { QApplication::setWindowIcon(icon); }

void TApplication::Run() {
  if (!main_form_ || !QApplication::instance()) return;
  // Only the main form's close ends the loop (through Terminate), not the closing of whatever
  // window happened to be the last one visible (an error box shown before the main form).
  QApplication::setQuitOnLastWindowClosed(false);
  main_form_->Show();
  if (terminated_) return;
  QEventLoop loop;
  loop_ = &loop;
  loop.exec();
  loop_ = nullptr;
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TApplication::Terminate() {
  terminated_ = true;
  // Only Run's own loop is told to end; nested loops (a message box, a dialog) go on and the
  // outer loop stops once control is back in it.
  if (loop_) loop_->exit(0);
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
  try {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    try {
      std::rethrow_exception(error);
    } catch (const EAbort&) {
      return;
    } catch (const Exception& e) {
      MessageBoxRequest box;
      box.Text = MessageWithPeriod(e.Message(), SystemCodePage());
      // The reason goes on a line of its own, so the message stays exactly the system's text;
      // one that only repeats the message (an EInOutError of the same number) adds nothing.
      const std::string reason = ReasonText(e.GetReason());
      if (!reason.empty() && reason != e.Message()) box.Text += "\n" + reason;
      box.Caption = Title;
      box.Flags = MB_OK | MB_ICONERROR;
      box.Owner = QApplication::activeWindow();
      ShowMessageBox(box);
    } catch (...) {
      ShowStartupError(error);
    }
  } catch (...) {
    // Nothing is left to report with when showing the box itself fails.
  }
}

void TApplication::Shutdown() noexcept {
  DestroyComponents();
  main_form_ = nullptr;
  terminated_ = false;
  own_qt_app_.reset();
}

// ---------------------------------------------------------------------------------------------

std::string StartupErrorText(std::exception_ptr error) {
  ErrorParts parts = Describe(error);
  std::string text = parts.class_name + "がモジュール " + ModuleFileName() + " の " + "00000000" +
                     " で発生しました。\n" + parts.message;
  if (!parts.message.empty() && parts.message.back() != '.') text += ".";
  return text;
}

void ShowStartupError(std::exception_ptr error) noexcept {
  try {
    MessageBoxRequest box;
    box.Text = StartupErrorText(error);
    box.Caption = kStartupErrorCaption;
    box.Flags = MB_OK | MB_ICONERROR | MB_TASKMODAL;
    ShowMessageBox(box);
  } catch (...) {
    std::fprintf(stderr, "%s\n", kStartupErrorCaption);
  }
}

int RunStartSequence(const std::function<void()>& steps) noexcept {
  int status = 0;
  try {
    steps();
  } catch (...) {
    ShowStartupError(std::current_exception());
    status = 1;
  }
  Application.Shutdown();
  return status;
}

}  // namespace kel
