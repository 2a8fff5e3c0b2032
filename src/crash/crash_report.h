#pragma once
// The report of a fault of the tool itself: plain text, one section a heading, for a user to read
// and keep and for the developers to find the cause. Building it reads this process only.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace crash {

// What the tool says of itself in a report, given when the reporter is installed.
struct TReportInfo {
  std::wstring product;      // the tool's name, from the version block
  std::wstring version;      // its file version, from the version block
  std::wstring lastChange;   // what became of the last change of the registry
  FILETIME started{};        // when the process started
};

// A fault: the exception as the system raised it, or a failure without one (a C++ exception of
// a type the tool does not know), with the context of the thread it happened on.
struct TFault {
  DWORD code = 0;
  std::wstring description;  // for a failure without an exception: what it was
  ULONG_PTR address = 0;     // where it happened
  std::vector<ULONG_PTR> parameters;  // the exception's parameters (for an access violation: read or write, and where)
  CONTEXT context{};
  DWORD threadId = 0;
};

// The code the reporter gives a failure that raised no exception of the system.
inline constexpr DWORD kUnknownCppException = 0xE0545643;

// One frame of a call stack: the address, and where it lies.
struct TFrame {
  ULONG_PTR address = 0;
  std::wstring module;   // the module's file name; empty outside every module
  ULONG_PTR offset = 0;  // from the module's base
  std::wstring function; // where the module carries symbols
};

// The frames from context on, by the unwind data of the modules (RtlVirtualUnwind on x64), at
// most maxFrames. Reads this process's memory only through calls that fail instead of faulting.
std::vector<TFrame> WalkStack(const CONTEXT& context, size_t maxFrames = 64);

// The description of an exception code: "アクセス違反 (EXCEPTION_ACCESS_VIOLATION)"; the code in
// hex for one the table does not know.
std::wstring DescribeCode(DWORD code);

// The whole report of fault: the sections 一般, 例外, 呼び出し履歴, ほかのスレッド (otherThreads,
// already formatted), モジュール, レジスタ, コード, 最後の変更. Of other processes it names none:
// what else the user runs is not the tool's to send.
std::wstring BuildReport(const TFault& fault, const TReportInfo& info, const std::wstring& otherThreads);

// The stacks of the other threads of this process but skip (and the caller), each suspended while
// it is read. Empty of the thread list on failure.
std::wstring OtherThreadStacks(DWORD skip);

// text with the user's profile folder written as %USERPROFILE% (letter case aside).
std::wstring ShortenProfile(std::wstring text);

// The UTF-8 bytes of text, its line breaks as CR LF.
std::string ReportBytes(const std::wstring& text);

}  // namespace crash
