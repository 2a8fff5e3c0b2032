#include "support/ui_doubles.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {

std::wstring WindowText(HWND hwnd) {
  std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

}  // namespace

BoxScript::BoxScript()
    : scope_(ui::MessageBoxSeam.Replace([this](const ui::BoxRequest& request) {
        shown_.push_back(request);
        if (answers_.empty()) {
          ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(request.text);
          return static_cast<int>(ui::mrCancel);
        }
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
      })) {}

BoxScript& BoxScript::Then(int answer) {
  answers_.push_back(answer);
  return *this;
}

std::vector<ui::BoxRequest> BoxScript::Take() { return std::exchange(shown_, {}); }

FileDialogScript::FileDialogScript()
    : scope_(ui::FileDialogSeam.Replace([this](const ui::FileDialogRequest& request) -> std::optional<std::wstring> {
        shown_.push_back(request);
        if (answers_.empty()) {
          ADD_FAILURE() << "unexpected file dialog";
          return std::nullopt;
        }
        auto answer = answers_.front();
        answers_.pop_front();
        return answer;
      })) {}

FileDialogScript& FileDialogScript::Then(std::optional<std::wstring> answer) {
  answers_.push_back(std::move(answer));
  return *this;
}

HelpRecorder::HelpRecorder()
    : scope_(ui::HelpSeam.Replace([this](const ui::HelpRequest& request) { calls_.push_back(request); })) {}

DialogView ReadDialog(HWND dialog) {
  DialogView view;
  view.hwnd = dialog;
  view.caption = WindowText(dialog);
  GetWindowRect(dialog, &view.rect);
  view.owner = GetWindow(dialog, GW_OWNER);
  view.ownerEnabled = view.owner && IsWindowEnabled(view.owner);
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    std::wstring cls = ClassOf(child);
    if (!IsWindowVisible(child)) continue;
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
      view.buttons.push_back({GetDlgCtrlID(child), WindowText(child)});
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
      std::wstring text = WindowText(child);
      if (!text.empty()) view.texts.push_back(text);
    }
  }
  return view;
}

DialogDriver::DialogDriver(int press, DWORD timeoutMs) : press_(press), timeoutMs_(timeoutMs) {
  thread_ = CreateThread(nullptr, 0, &DialogDriver::Thread, this, 0, nullptr);
}

DialogDriver::~DialogDriver() { Wait(); }

const DialogView& DialogDriver::Wait() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return view_;
}

DWORD WINAPI DialogDriver::Thread(void* param) {
  auto* self = static_cast<DialogDriver*>(param);
  const DWORD start = GetTickCount();
  HWND found = nullptr;
  while (!found && GetTickCount() - start < self->timeoutMs_) {
    struct Search {
      HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
          DWORD pid = 0;
          GetWindowThreadProcessId(hwnd, &pid);
          if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
          if (ClassOf(hwnd) != L"#32770") return TRUE;
          reinterpret_cast<Search*>(lp)->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    found = search.found;
    if (!found) Sleep(20);
  }
  if (!found) return 0;
  Sleep(50);  // let the box finish its activation before it is read
  self->view_ = ReadDialog(found);
  if (self->press_ == 0) {
    PostMessageW(found, WM_CLOSE, 0, 0);
  } else {
    HWND button = GetDlgItem(found, self->press_);
    PostMessageW(found, WM_COMMAND, MAKEWPARAM(self->press_, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  return 0;
}

}  // namespace testsupport
