// A program that only carries the window program's resources (src/window/win32/kelvarin.rc),
// so that they are compiled and checked while kelvarin.exe is not built on Windows.
int main() { return 0; }
