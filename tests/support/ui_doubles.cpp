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

bool IsAllWhite(const ui::Picture& picture) {
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      if (picture.Pixel(x, y) != RGB(255, 255, 255)) return false;
  return true;
}

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

bool IsDialogOfThisProcess(HWND hwnd) { return ClassOf(hwnd) == L"#32770"; }

std::function<bool(HWND)> WindowCaptioned(std::wstring caption) {
  return [caption](HWND hwnd) { return WindowText(hwnd) == caption; };
}

HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs, DWORD processId) {
  const DWORD start = GetTickCount();
  struct Search {
    const std::function<bool(HWND)>& match;
    DWORD processId;
    HWND found = nullptr;
  } search{match, processId};
  while (!search.found && GetTickCount() - start < timeoutMs) {
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
          auto* s = reinterpret_cast<Search*>(lp);
          DWORD pid = 0;
          GetWindowThreadProcessId(hwnd, &pid);
          if (pid != s->processId || !IsWindowVisible(hwnd) || !s->match(hwnd)) return TRUE;
          s->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(20);
  }
  return search.found;
}

WindowDriver::WindowDriver(std::function<bool(HWND)> match, std::function<void(HWND)> act, DWORD timeoutMs,
                           DWORD processId)
    : match_(std::move(match)), act_(std::move(act)), timeoutMs_(timeoutMs), processId_(processId) {
  thread_.reset(CreateThread(nullptr, 0, &WindowDriver::Thread, this, 0, nullptr));
}

WindowDriver::~WindowDriver() { Wait(); }

bool WindowDriver::Wait() {
  if (thread_) {
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }
  return found_;
}

DWORD WINAPI WindowDriver::Thread(void* param) {
  auto* self = static_cast<WindowDriver*>(param);
  HWND found = WaitForWindow(self->match_, self->timeoutMs_, self->processId_);
  if (!found) return 0;
  Sleep(50);  // let the window finish its activation before it is worked
  self->found_ = true;
  self->act_(found);
  return 0;
}

DialogDriver::DialogDriver(int press, DWORD timeoutMs, DWORD processId)
    : driver_(IsDialogOfThisProcess,
              [this, press](HWND dialog) {
                view_ = ReadDialog(dialog);
                if (press == 0) {
                  PostMessageW(dialog, WM_CLOSE, 0, 0);
                } else {
                  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(dialog, press)));
                }
              },
              timeoutMs, processId) {}

const DialogView& DialogDriver::Wait() {
  driver_.Wait();
  return view_;
}

FileDialogDriver::FileDialogDriver(std::optional<std::wstring> typed, DWORD timeoutMs)
    : driver_(IsDialogOfThisProcess,
              [typed](HWND dialog) {
                if (!typed) {
                  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                  return;
                }
                // The file name field: the combo box cmb13 of the Explorer-style dialog, or the
                // edit field edt1 of the older one.
                HWND field = GetDlgItem(dialog, 0x47c);
                if (!field) field = GetDlgItem(dialog, 0x480);
                SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed->c_str()));
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
              },
              timeoutMs) {}

}  // namespace testsupport
