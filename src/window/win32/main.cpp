// kelvarin.exe: the desktop program, a program of the Windows GUI subsystem (no console). It
// takes no arguments of its own.
#include <windows.h>

#include "window/start_sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The start-up show command is read where the window is shown (TApplication::Run).
  char program[] = "kelvarin";
  char* argv[] = {program, nullptr};
  int argc = 1;
  return kel::RunKelvarin(argc, argv);
}
