// A small program that installs the reporter and then fails in the way its second argument
// names, so that the test can look at what the reporter leaves behind. The reporter's dialog is
// answered 終了 at once; the application's error box is written to "errorbox.txt".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/exception.h"
#include "crash/crash_dialog.h"
#include "crash/crash_handler.h"
#include "ui/application.h"
#include "ui/message_box.h"

namespace {

volatile int* volatile g_nowhere = nullptr;

__attribute__((noinline)) int FaultingFunctionRead() { return *g_nowhere; }

__attribute__((noinline)) void FaultingFunctionWrite() { *g_nowhere = 1; }

volatile bool g_deeper = true;

// Recurses until the stack runs out (the flag, never cleared, hides that from the compiler).
__attribute__((noinline)) int Deeper(int depth) {
  volatile char room[512];
  room[0] = static_cast<char>(depth);
  return (g_deeper ? Deeper(depth + 1) : 0) + room[0];
}

struct UnknownToTheTool {};

LRESULT CALLBACK FaultingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return FaultingFunctionRead();
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// An access violation inside a window procedure, while the message loop dispatches.
void FaultInWindowProcedure() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = FaultingWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CrashChildWindow";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(L"CrashChildWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  PostMessageW(window, WM_USER, 0, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) ui::Application::Instance().Dispatch(msg);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring folder = argv[1], kind = argv[2];
  crash::TCrashSettings settings;
  const size_t cut = folder.rfind(L'\\');
  settings.folder = {folder.substr(0, cut), {folder.substr(cut + 1)}, common::ProcessUserSid()};
  settings.product = L"Tavrelo";
  settings.version = L"0.0.0.0";
  settings.lastChange = [] { return std::wstring(L"最後の変更はありません。"); };
  crash::Install(std::move(settings));
  auto& app = ui::Application::Instance();
  app.SetFaultHandler([](const std::wstring& what) { crash::ReportFailure(what); });
  auto answer = crash::CrashDialogSeam.Replace([](const crash::TCrashDialogRequest&) { return crash::TCrashAnswer::Exit; });
  auto box = ui::MessageBoxSeam.Replace([&](const ui::BoxRequest& request) {
    FILE* file = _wfopen((folder + L"\\errorbox.txt").c_str(), L"wb");
    if (file) {
      std::fwrite(request.text.data(), sizeof(wchar_t), request.text.size(), file);
      std::fclose(file);
    }
    return static_cast<int>(ui::mrOk);
  });

  if (kind == L"av-read") return FaultingFunctionRead();
  if (kind == L"av-write") FaultingFunctionWrite();
  if (kind == L"stack-overflow") return Deeper(0);
  if (kind == L"window") FaultInWindowProcedure();
  try {
    if (kind == L"unknown-cpp") throw UnknownToTheTool{};
    if (kind == L"named") throw Exception(L"ファイル C:\\x.ini は開けません。");
  } catch (...) {
    app.HandleException();
  }
  return 0;
}
