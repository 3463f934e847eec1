// kelvarin: the desktop program. It takes no arguments of its own.
#include "window/start_sequence.h"

int main(int argc, char** argv) { return kel::RunKelvarin(argc, argv); }
