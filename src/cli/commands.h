#pragma once
// The command line: one command per run, its arguments checked before anything is read, every
// change carried out through the operations' requests as the windows carry them out (the same
// policy, preview, backup and history), no question asked but on a console, and an exit code that
// tells a script what became of it.

#include <span>
#include <string>

#include "cli/console.h"
#include "common/seam.h"

namespace cli {

// What a run came to; the help and the README list them.
enum TExitCode : int {
  kExitDone = 0,                // done, or nothing to do
  kExitUsage = 1,               // the command line is wrong, or a question needs /yes
  kExitRefused = 2,             // the policy or the input refused it; a check found problems
  kExitFailed = 3,              // it failed, and what it changed was put back
  kExitNeedsAdministrator = 4,  // it changes the registry and this process has no administrator rights
  kExitProtected = 5,           // Windows protects what it was to change
  kExitNotFound = 6,            // no such association, file or history entry
  kExitDeclined = 7,            // a question was answered no: nothing changed
};

// Whether this process may change the machine's associations: its token holds the Administrators
// group enabled (an elevated process). Tests answer for it.
extern common::Seam<bool()> RunsAsAdministrator;

// Runs the command in args (the arguments after the program's name) with console; answers the
// exit code. Raises nothing but std::bad_alloc: every other failure is said on standard error.
int RunCommandLine(std::span<const std::wstring> args, TConsole& console);

}  // namespace cli
