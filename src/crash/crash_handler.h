#pragma once
// Takes over the faults that no command catches: it gathers a report, writes it and a minidump
// into the reports folder, and shows it in its own dialog. The errors the tool names keep the
// application's error box: they answer a user's input, they are no faults.

#include <windows.h>

#include <functional>
#include <string>

#include "common/secure_folder.h"

namespace crash {

// What the reporter needs of the tool, given once.
struct TCrashSettings {
  common::SecureFolderPlace folder;  // where reports go; opened (created) and held from Install on
  std::wstring product;  // the tool's name and version, from its version block
  std::wstring version;
  // What became of the last change of the registry; asked when a fault is reported.
  std::function<std::wstring()> lastChange;
  // Where 送信 posts a report; empty (no 送信 button) when none is set.
  std::function<std::wstring()> uploadUrl;
};

// Installs the reporter, once, before any window: a vectored handler for the fatal exceptions
// (access violation, stack overflow, illegal instruction, division by zero and the like) raised
// in this executable's own code on any thread, which 64-bit Windows and Wine would otherwise
// swallow inside window procedures; the unhandled-exception filter for the rest; and
// std::terminate. The report is built on a thread of its own, started here with a stack of its
// own, so that a stack overflow can be reported too.
void Install(TCrashSettings settings);

// Reports a failure that raised no exception of the system (a C++ exception of a type the tool
// does not know), with the calling thread's stack, then ends the process. Never returns. Without
// an installed reporter it ends the process at once.
[[noreturn]] void ReportFailure(const std::wstring& description);

// Says once, in an information box owned by owner, that a report from an earlier run exists,
// naming the folder; nothing when there is no report that was not announced yet.
void AnnounceEarlierReport(HWND owner);

}  // namespace crash
