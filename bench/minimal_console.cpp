// The yardstick of the console program's start: a console program that writes one line to its
// standard output and ends.
#include <windows.h>

int wmain() {
  const char line[] = "minimal\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, sizeof line - 1, &written, nullptr);
  return 0;
}
