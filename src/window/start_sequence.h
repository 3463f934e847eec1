// The desktop program's start: from the locale to the closed window.
#pragma once

namespace kel {

// The start sequence of `kelvarin`: takes the user's locale, initialises the application (Qt
// reads its own options, such as -platform, from `argc` and `argv`; the program has none of its
// own), sets the title "Kelvarin" and the icon, makes Form1 from its description and runs
// FormCreate, shows it centred with the focus on Button2 and runs the event loop until it is
// closed (FormClose runs then). The JPEG picture kind is there before the start: the picture
// registry holds it from its first use. Returns the exit status: 0, or 1 after the start-up
// error display showed an exception that escaped the sequence. `argc` and `argv` must outlive
// the call.
int RunKelvarin(int& argc, char** argv) noexcept;

}  // namespace kel
