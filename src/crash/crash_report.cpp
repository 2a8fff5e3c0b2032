#include "crash/crash_report.h"

#include <dbghelp.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <mutex>

#include "common/handles.h"
#include "common/text.h"

namespace crash {

namespace {

struct CodeName {
  DWORD code;
  const wchar_t* text;
};
constexpr CodeName kCodes[] = {
    {EXCEPTION_ACCESS_VIOLATION, L"アクセス違反 (EXCEPTION_ACCESS_VIOLATION)"},
    {EXCEPTION_STACK_OVERFLOW, L"スタック オーバーフロー (EXCEPTION_STACK_OVERFLOW)"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, L"不正な命令 (EXCEPTION_ILLEGAL_INSTRUCTION)"},
    {EXCEPTION_PRIV_INSTRUCTION, L"特権命令 (EXCEPTION_PRIV_INSTRUCTION)"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, L"整数の 0 による除算 (EXCEPTION_INT_DIVIDE_BY_ZERO)"},
    {EXCEPTION_INT_OVERFLOW, L"整数のオーバーフロー (EXCEPTION_INT_OVERFLOW)"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, L"浮動小数点数の 0 による除算 (EXCEPTION_FLT_DIVIDE_BY_ZERO)"},
    {EXCEPTION_FLT_INVALID_OPERATION, L"浮動小数点数の不正な演算 (EXCEPTION_FLT_INVALID_OPERATION)"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, L"配列の範囲外 (EXCEPTION_ARRAY_BOUNDS_EXCEEDED)"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, L"境界に合わないデータ (EXCEPTION_DATATYPE_MISALIGNMENT)"},
    {EXCEPTION_IN_PAGE_ERROR, L"ページの読み込みエラー (EXCEPTION_IN_PAGE_ERROR)"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, L"続行できない例外 (EXCEPTION_NONCONTINUABLE_EXCEPTION)"},
    {STATUS_HEAP_CORRUPTION, L"ヒープの破損 (STATUS_HEAP_CORRUPTION)"},
    {STATUS_STACK_BUFFER_OVERRUN, L"スタック バッファーのオーバーラン (STATUS_STACK_BUFFER_OVERRUN)"},
    {kUnknownCppException, L"種類のわからない C++ の例外"},
};

std::wstring Hex(ULONG_PTR value, int digits = 16) {
  wchar_t text[24];
  std::swprintf(text, std::size(text), L"%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::wstring Stamp(const SYSTEMTIME& t) {
  wchar_t text[40];
  std::swprintf(text, std::size(text), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

std::wstring Heading(const wchar_t* title) { return L"\n== " + std::wstring(title) + L" ==\n"; }

std::wstring Line(const wchar_t* label, const std::wstring& value) { return std::wstring(label) + L": " + value + L"\n"; }

// The module that holds address, its base and its file name.
bool ModuleOf(ULONG_PTR address, HMODULE& module, std::wstring& name) {
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(address), &module))
    return false;
  name = common::ExtractFileName(common::ModuleFileName(module));
  return true;
}

// The symbol reader, started once; dbghelp is not thread-safe, so its calls take this lock.
std::mutex& SymbolLock() {
  static std::mutex lock;
  return lock;
}

std::wstring FunctionAt(ULONG_PTR address) {
  const std::lock_guard<std::mutex> guard(SymbolLock());
  // Symbols from the images themselves and the system folder only: the user's environment
  // (_NT_SYMBOL_PATH), the modules' folders and the paths their headers name would let any
  // program of the user hand the elevated tool a symbol file to parse, or a symbol server.
  static const bool started = [] {
    SymSetOptions(SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_IGNORE_NT_SYMPATH | SYMOPT_IGNORE_CVREC |
                  SYMOPT_IGNORE_IMAGEDIR | SYMOPT_DISABLE_SYMSRV_AUTODETECT | SYMOPT_NO_PROMPTS |
                  SYMOPT_FAIL_CRITICAL_ERRORS);
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length > 0 && length < MAX_PATH && SymInitializeW(GetCurrentProcess(), system, TRUE) != FALSE;
  }();
  if (!started) return {};
  alignas(SYMBOL_INFOW) BYTE buffer[sizeof(SYMBOL_INFOW) + 256 * sizeof(wchar_t)] = {};
  auto* symbol = reinterpret_cast<SYMBOL_INFOW*>(buffer);
  symbol->SizeOfStruct = sizeof(SYMBOL_INFOW);
  symbol->MaxNameLen = 255;
  DWORD64 displacement = 0;
  if (!SymFromAddrW(GetCurrentProcess(), address, &displacement, symbol)) return {};
  return std::wstring(symbol->Name, symbol->NameLen) + L"+0x" + Hex(displacement, 1);
}

bool ReadMemory(ULONG_PTR address, void* buffer, size_t size) {
  SIZE_T read = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(address), buffer, size, &read) &&
         read == size;
}

std::wstring FormatFrames(const std::vector<TFrame>& frames) {
  std::wstring text;
  for (size_t i = 0; i < frames.size(); ++i) {
    const TFrame& f = frames[i];
    text += L"#" + std::to_wstring(i) + L" " + Hex(f.address);
    if (!f.module.empty()) text += L" " + f.module + L"+0x" + Hex(f.offset, 1);
    if (!f.function.empty()) text += L" " + f.function;
    text += L"\n";
  }
  return text.empty() ? L"(なし)\n" : text;
}

std::wstring WindowsVersionText() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{sizeof info};
  const auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!get || get(&info) != 0) return L"(不明)";
  return std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) + L" ビルド " +
         std::to_wstring(info.dwBuildNumber);
}

std::wstring LanguageText() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = L"";
  LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0);
  return std::wstring(name) + L" (コード ページ " + std::to_wstring(GetACP()) + L")";
}

bool Elevated() {
  common::UniqueKernelHandle token;
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  token.reset(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated;
}

// The file version in a loaded module's own version resource; empty when it has none. Reads the
// mapped image, not whatever file its path names by now.
std::wstring FileVersionOf(HMODULE module) {
  // VS_FIXEDFILEINFO follows the block's header and its key L"VS_VERSION_INFO", aligned to 4.
  constexpr size_t kFixedAt = 40;
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* block = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
  if (!block || SizeofResource(module, found) < kFixedAt + sizeof(VS_FIXEDFILEINFO)) return {};
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, block + kFixedAt, sizeof fixed);
  if (fixed.dwSignature != VS_FFI_SIGNATURE) return {};
  return std::to_wstring(HIWORD(fixed.dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed.dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(fixed.dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed.dwFileVersionLS));
}

std::wstring Modules() {
  HMODULE modules[1024];
  DWORD needed = 0;
  if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &needed)) return L"(取得できませんでした)\n";
  std::wstring text;
  for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < std::size(modules); ++i) {
    MODULEINFO info{};
    GetModuleInformation(GetCurrentProcess(), modules[i], &info, sizeof info);
    const std::wstring path = ShortenProfile(common::ModuleFileName(modules[i]));
    const std::wstring version = FileVersionOf(modules[i]);
    text += Hex(reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll)) + L" " + Hex(info.SizeOfImage, 8) + L" " + path +
            (version.empty() ? L"" : L" " + version) + L"\n";
  }
  return text;
}

std::wstring Registers(const CONTEXT& c) {
  const std::pair<const wchar_t*, DWORD64> rows[] = {
      {L"RAX", c.Rax}, {L"RBX", c.Rbx}, {L"RCX", c.Rcx}, {L"RDX", c.Rdx}, {L"RSI", c.Rsi}, {L"RDI", c.Rdi},
      {L"RBP", c.Rbp}, {L"RSP", c.Rsp}, {L"R8", c.R8},   {L"R9", c.R9},   {L"R10", c.R10}, {L"R11", c.R11},
      {L"R12", c.R12}, {L"R13", c.R13}, {L"R14", c.R14}, {L"R15", c.R15}, {L"RIP", c.Rip}, {L"EFLAGS", c.EFlags},
  };
  std::wstring text;
  for (size_t i = 0; i < std::size(rows); ++i)
    text += std::wstring(rows[i].first) + L"=" + Hex(rows[i].second) + ((i % 3 == 2) ? L"\n" : L"  ");
  return text;
}

// The bytes around address, those that can be read; "??" for the others.
std::wstring CodeAround(ULONG_PTR address) {
  constexpr ULONG_PTR kBefore = 16, kAfter = 16;
  std::wstring text = Hex(address - kBefore) + L":";
  for (ULONG_PTR a = address - kBefore; a < address + kAfter; ++a) {
    BYTE b = 0;
    text += a == address ? L" [" : L" ";
    text += ReadMemory(a, &b, 1) ? Hex(b, 2) : L"??";
    if (a == address) text += L"]";
  }
  return text + L"\n";
}

}  // namespace

std::wstring ShortenProfile(std::wstring text) {
  wchar_t profile[MAX_PATH] = L"";
  const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return text;
  const std::wstring_view folder(profile, length);
  for (size_t at = 0; at + folder.size() <= text.size();) {
    if (common::EqualNoCase(std::wstring_view(text).substr(at, folder.size()), folder)) {
      text.replace(at, folder.size(), L"%USERPROFILE%");
      at += 13;
    } else {
      ++at;
    }
  }
  return text;
}

std::vector<TFrame> WalkStack(const CONTEXT& start, size_t maxFrames) {
  std::vector<TFrame> frames;
  CONTEXT context = start;
  for (size_t i = 0; i < maxFrames && context.Rip; ++i) {
    TFrame frame;
    frame.address = context.Rip;
    HMODULE module = nullptr;
    if (ModuleOf(frame.address, module, frame.module)) frame.offset = frame.address - reinterpret_cast<ULONG_PTR>(module);
    frames.push_back(std::move(frame));
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (!function) {
      // A leaf function: the return address is on top of the stack.
      DWORD64 returnAddress = 0;
      if (!ReadMemory(context.Rsp, &returnAddress, sizeof returnAddress)) break;
      context.Rip = returnAddress;
      context.Rsp += sizeof returnAddress;
      continue;
    }
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    // The unwind reads the frame's stack; a stack that cannot be read ends the walk.
    DWORD64 probe = 0;
    if (!ReadMemory(context.Rsp, &probe, sizeof probe)) break;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &establisher,
                     nullptr);
  }
  for (TFrame& frame : frames) frame.function = FunctionAt(frame.address);
  return frames;
}

std::wstring DescribeCode(DWORD code) {
  for (const CodeName& row : kCodes)
    if (row.code == code) return row.text;
  return L"例外 0x" + Hex(code, 8);
}

std::wstring OtherThreadStacks(DWORD skip) {
  const DWORD self = GetCurrentThreadId();
  const common::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return L"(取得できませんでした)\n";
  std::wstring text;
  THREADENTRY32 entry{sizeof entry};
  for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId() || entry.th32ThreadID == self ||
        entry.th32ThreadID == skip)
      continue;
    common::UniqueKernelHandle thread(
        OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
    text += L"-- スレッド " + std::to_wstring(entry.th32ThreadID) + L"\n";
    if (!thread || SuspendThread(thread.get()) == static_cast<DWORD>(-1)) {
      text += L"(読み取れませんでした)\n";
      continue;
    }
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    const bool read = GetThreadContext(thread.get(), &context);
    std::vector<TFrame> frames;
    if (read) frames = WalkStack(context, 32);
    ResumeThread(thread.get());
    text += read ? FormatFrames(frames) : L"(読み取れませんでした)\n";
  }
  return text.empty() ? L"(なし)\n" : text;
}

std::wstring BuildReport(const TFault& fault, const TReportInfo& info, const std::wstring& otherThreads) {
  std::wstring report = info.product + L" エラー報告\n";

  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  GetLocalTime(&local);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  const ULONGLONG uptime = ticks(info.started) ? (ticks(now) - ticks(info.started)) / 10000000 : 0;
  report += Heading(L"一般");
  report += Line(L"ソフトウェア", info.product + L" " + info.version);
  report += Line(L"Windows", WindowsVersionText());
  report += Line(L"言語", LanguageText());
  report += Line(L"日時 (UTC)", Stamp(utc));
  report += Line(L"日時 (ローカル)", Stamp(local));
  report += Line(L"起動からの時間", std::to_wstring(uptime) + L" 秒");
  report += Line(L"管理者として実行", Elevated() ? L"はい" : L"いいえ");
  report += Line(L"コマンドライン", ShortenProfile(GetCommandLineW()));

  report += Heading(L"例外");
  report += Line(L"コード", L"0x" + Hex(fault.code, 8) + L" " + DescribeCode(fault.code));
  if (!fault.description.empty()) report += Line(L"内容", fault.description);
  report += Line(L"アドレス", Hex(fault.address));
  HMODULE module = nullptr;
  std::wstring moduleName;
  if (ModuleOf(fault.address, module, moduleName))
    report += Line(L"モジュール", moduleName + L"+0x" + Hex(fault.address - reinterpret_cast<ULONG_PTR>(module), 1));
  if (fault.code == EXCEPTION_ACCESS_VIOLATION && fault.parameters.size() >= 2) {
    const wchar_t* how = fault.parameters[0] == 0 ? L"読み取り" : fault.parameters[0] == 1 ? L"書き込み" : L"実行";
    report += Line(L"アクセス", std::wstring(how) + L" " + Hex(fault.parameters[1]));
  }
  report += Line(L"スレッド", std::to_wstring(fault.threadId));

  report += Heading(L"呼び出し履歴");
  report += FormatFrames(WalkStack(fault.context));
  report += Heading(L"ほかのスレッド");
  report += otherThreads;
  report += Heading(L"モジュール");
  report += Modules();
  report += Heading(L"レジスタ");
  report += Registers(fault.context);
  report += Heading(L"コード");
  report += CodeAround(fault.context.Rip);
  report += Heading(L"最後の変更");
  report += info.lastChange + L"\n";
  return report;
}

std::string ReportBytes(const std::wstring& text) {
  std::wstring lines;
  for (wchar_t c : text) {
    if (c == L'\n') lines += L'\r';
    lines += c;
  }
  return common::Utf8(lines);
}

}  // namespace crash
