#include "window/start_sequence.h"

#include <clocale>

#include "window/form_builder.h"
#include "window/form_description.h"
#include "window/main_form.h"
#include "gui/application.h"

namespace kel {

int RunKelvarin(int& argc, char** argv) noexcept {
  // Names and texts are bytes in the user's code page.
  std::setlocale(LC_ALL, "");
  // The JPEG picture kind is registered by the picture registry itself (gui/graphics.cpp).
  return RunStartSequence([&] {
    Application.Initialize(argc, argv);
    Application.SetIcon(TIcon{std::string(Form1Description().Icon)});
    Application.Title = "Kelvarin";
    Application.CreateForm(Form1);
    Application.Run();
  });
}

}  // namespace kel
