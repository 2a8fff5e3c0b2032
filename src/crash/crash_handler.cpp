#include "crash/crash_handler.h"

#include <atomic>
#include <exception>

#include "common/handles.h"
#include "common/text.h"
#include "crash/crash_dialog.h"
#include "crash/crash_report.h"
#include "crash/crash_store.h"
#include "crash/crash_texts.h"
#include "ui/message_box.h"

namespace crash {

namespace {

constexpr DWORD kFatalCodes[] = {
    EXCEPTION_ACCESS_VIOLATION,     EXCEPTION_STACK_OVERFLOW,        EXCEPTION_ILLEGAL_INSTRUCTION,
    EXCEPTION_PRIV_INSTRUCTION,     EXCEPTION_INT_DIVIDE_BY_ZERO,    EXCEPTION_INT_OVERFLOW,
    EXCEPTION_ARRAY_BOUNDS_EXCEEDED, EXCEPTION_DATATYPE_MISALIGNMENT, EXCEPTION_IN_PAGE_ERROR,
    EXCEPTION_FLT_DIVIDE_BY_ZERO,   EXCEPTION_FLT_INVALID_OPERATION, STATUS_HEAP_CORRUPTION,
    STATUS_STACK_BUFFER_OVERRUN,
};

// The exit code of a process that the reporter ended.
constexpr UINT kExitCode = 0xE0545643;

// Everything the reporter thread needs, set up by Install before any fault can come.
struct State {
  TCrashSettings settings;
  // The reports folder, held open while the process lives; holds nothing when it cannot be made.
  common::SecureFolder reports;
  FILETIME started{};
  ULONG_PTR imageStart = 0, imageEnd = 0;
  common::UniqueKernelHandle start, done;
  DWORD reporterId = 0;
  std::atomic<bool> reporting{false};
  // The fault being reported: written by the faulting thread before start is set.
  TFault fault;
  EXCEPTION_POINTERS* pointers = nullptr;
};
State* g_state = nullptr;

bool IsFatal(DWORD code) {
  for (DWORD fatal : kFatalCodes)
    if (fatal == code) return true;
  return false;
}

// The last resort, when reporting failed: a box and a line in the reports folder.
[[noreturn]] void FailMinimally(DWORD code) {
  if (g_state) {
    char line[64];
    const int length = wsprintfA(line, "fault 0x%08lX while reporting\r\n", code);
    g_state->reports.Append(L"reporter-failed.txt", std::string(line, static_cast<size_t>(length)));
  }
  MessageBoxW(nullptr, texts::kReporterFailed, texts::kDialogTitle, MB_ICONHAND | MB_OK | MB_TOPMOST);
  TerminateProcess(GetCurrentProcess(), kExitCode);
  for (;;) Sleep(INFINITE);
}

DWORD WINAPI OtherStacksMain(LPVOID parameter) {
  auto* text = static_cast<std::wstring*>(parameter);
  *text = OtherThreadStacks(g_state->fault.threadId);
  return 0;
}

void Restart() {
  const std::wstring exe = common::ModuleFileName();
  std::wstring commandLine = GetCommandLineW();
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    const common::UniqueKernelHandle thread(process.hThread), started(process.hProcess);
  }
}

DWORD WINAPI ReporterMain(LPVOID) {
  WaitForSingleObject(g_state->start.get(), INFINITE);
  State& s = *g_state;
  TReportInfo info;
  info.product = s.settings.product;
  info.version = s.settings.version;
  info.started = s.started;
  try {
    info.lastChange = s.settings.lastChange ? s.settings.lastChange() : std::wstring();
  } catch (...) {
  }
  // The other threads are read by a thread of their own: one of them may hold a lock that
  // reading waits for, and the report must not wait for ever.
  std::wstring others = L"(取得できませんでした)\n";
  {
    auto* text = new std::wstring;
    common::UniqueKernelHandle reader(CreateThread(nullptr, 0, OtherStacksMain, text, 0, nullptr));
    if (reader && WaitForSingleObject(reader.get(), 3000) == WAIT_OBJECT_0) {
      others = *text;
      delete text;
    }
  }
  const std::wstring report = BuildReport(s.fault, info, others);
  const std::wstring path = WriteReport(s.reports, report, s.fault.threadId, s.pointers);

  TCrashDialogRequest request;
  request.sentence = std::wstring(texts::kUnexpected) + L"\n" + info.lastChange;
  request.report = report;
  request.reportPath = path;
  try {
    request.uploadUrl = s.settings.uploadUrl ? s.settings.uploadUrl() : std::wstring();
  } catch (...) {
  }
  if (CrashDialogSeam(request) == TCrashAnswer::Restart) Restart();
  TerminateProcess(GetCurrentProcess(), kExitCode);
  return 0;
}

// Hands the fault to the reporter thread and waits for the end of the process.
[[noreturn]] void Report(const TFault& fault, EXCEPTION_POINTERS* pointers) {
  if (GetCurrentThreadId() == g_state->reporterId) FailMinimally(fault.code);
  if (g_state->reporting.exchange(true)) {
    // Another thread is being reported; the process ends with it.
    for (;;) Sleep(INFINITE);
  }
  g_state->fault = fault;
  g_state->pointers = pointers;
  SetEvent(g_state->start.get());
  for (;;) Sleep(INFINITE);
}

TFault FaultOf(EXCEPTION_POINTERS* pointers) {
  TFault fault;
  fault.code = pointers->ExceptionRecord->ExceptionCode;
  fault.address = reinterpret_cast<ULONG_PTR>(pointers->ExceptionRecord->ExceptionAddress);
  for (DWORD i = 0; i < pointers->ExceptionRecord->NumberParameters && i < EXCEPTION_MAXIMUM_PARAMETERS; ++i)
    fault.parameters.push_back(pointers->ExceptionRecord->ExceptionInformation[i]);
  fault.context = *pointers->ContextRecord;
  fault.threadId = GetCurrentThreadId();
  return fault;
}

LONG CALLBACK FirstChance(EXCEPTION_POINTERS* pointers) {
  const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(pointers->ExceptionRecord->ExceptionAddress);
  // Only faults in the tool's own code: the system's libraries probe memory and handle their own.
  if (!g_state || !IsFatal(pointers->ExceptionRecord->ExceptionCode) || address < g_state->imageStart ||
      address >= g_state->imageEnd)
    return EXCEPTION_CONTINUE_SEARCH;
  // A stack overflow leaves little stack: the fault is copied by the reporter thread.
  if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    if (GetCurrentThreadId() == g_state->reporterId) FailMinimally(EXCEPTION_STACK_OVERFLOW);
    if (g_state->reporting.exchange(true)) {
      for (;;) Sleep(INFINITE);
    }
    g_state->fault.code = EXCEPTION_STACK_OVERFLOW;
    g_state->fault.address = address;
    g_state->fault.context = *pointers->ContextRecord;
    g_state->fault.threadId = GetCurrentThreadId();
    g_state->pointers = pointers;
    SetEvent(g_state->start.get());
    for (;;) Sleep(INFINITE);
  }
  Report(FaultOf(pointers), pointers);
}

LONG WINAPI Unhandled(EXCEPTION_POINTERS* pointers) {
  if (!g_state) return EXCEPTION_CONTINUE_SEARCH;
  Report(FaultOf(pointers), pointers);
}

[[noreturn]] void Terminated() { ReportFailure(L"std::terminate"); }

}  // namespace

void Install(TCrashSettings settings) {
  if (g_state) return;
  auto* state = new State;
  state->settings = std::move(settings);
  common::SecureFolderError error;
  state->reports = common::SecureFolder::Create(state->settings.folder, error);
  FILETIME exit{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &state->started, &exit, &kernel, &user);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(GetModuleHandleW(nullptr));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(dos) + dos->e_lfanew);
  state->imageStart = reinterpret_cast<ULONG_PTR>(dos);
  state->imageEnd = state->imageStart + nt->OptionalHeader.SizeOfImage;
  state->start.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_state = state;
  const common::UniqueKernelHandle reporter(CreateThread(nullptr, 1 << 20, ReporterMain, nullptr, 0, &state->reporterId));
  AddVectoredExceptionHandler(1, FirstChance);
  SetUnhandledExceptionFilter(Unhandled);
  std::set_terminate(Terminated);
}

void ReportFailure(const std::wstring& description) {
  if (!g_state) {
    TerminateProcess(GetCurrentProcess(), kExitCode);
    for (;;) Sleep(INFINITE);
  }
  TFault fault;
  fault.code = kUnknownCppException;
  fault.description = description;
  RtlCaptureContext(&fault.context);
  fault.address = fault.context.Rip;
  fault.threadId = GetCurrentThreadId();
  Report(fault, nullptr);
}

void AnnounceEarlierReport(HWND owner) {
  if (!g_state) return;
  const std::wstring report = ReportToAnnounce(g_state->reports);
  if (report.empty()) return;
  ui::ShowMessageBox(owner, ui::BoxKind::Information,
                     std::wstring(texts::kEarlierReport) + L"\n" + g_state->reports.Path());
}

}  // namespace crash
