#include "gui/application.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "gui/form.h"
#include "gui/message_box.h"
#include "platform/code_page.h"
#include "platform/error_text.h"
#include "platform/exceptions.h"

namespace kel {

TApplication Application;

namespace {

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

}  // namespace

void TApplication::FormCreated(TForm* form) {
  if (!main_form_) {
    main_form_ = form;
    form->Handle();
  }
  form->DoCreate();
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
  try {
    CancelMouseCapture();
    try {
      std::rethrow_exception(error);
    } catch (const EAbort&) {
      return;
    } catch (const Exception& e) {
      MessageBoxRequest box;
      box.Text = MessageWithPeriod(e.Message(), SystemCodePage());
      // The path and reason go on a line of their own, so the message stays exactly the
      // system's text.
      const std::string reason = ReasonLine(e.Message(), e.GetReason(), ReasonText(e.GetReason()));
      if (!reason.empty()) box.Text += "\n" + reason;
      box.Caption = Title;
      box.Flags = kMbOk | kMbIconError;
      box.Owner = ActiveWindow();
      ShowMessageBox(box);
    } catch (...) {
      ShowStartupError(error);
    }
  } catch (...) {
    // Nothing is left to report with when showing the box itself fails.
  }
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
    box.Flags = kMbOk | kMbIconError | kMbTaskModal;
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
