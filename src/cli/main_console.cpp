// Entry point of the console program tavrelo.com: one command, its result on standard output, its
// exit code for the script that ran it.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "common/libraries.h"

int wmain(int argc, wchar_t** argv) {
  // Before anything loads a library by name: whoever can write beside the program must not
  // choose what it loads.
  common::RestrictLibrarySearch();
  cli::TStdConsole console;
  try {
    std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return cli::RunCommandLine(args, console);
  } catch (const std::bad_alloc&) {
    console.Err(std::wstring(kOutOfMemoryMessage) + L"\r\n");
    return cli::kExitFailed;
  }
}
