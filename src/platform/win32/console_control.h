// The console's control handler that InterruptWatch installs, named so that a test can call it
// as the system does (Wine without a display has no console to send Ctrl-C to).
#pragma once

#include <windows.h>

namespace kel::win32 {

// Records Ctrl-C (2), Ctrl-Break (15) or the console's close (1) in the live InterruptWatch and
// returns TRUE; FALSE (the system's default: the process ends) when no watch is alive. A second
// request while one is pending ends the process with 128 + its number.
BOOL WINAPI OnConsoleControl(DWORD event);

}  // namespace kel::win32
