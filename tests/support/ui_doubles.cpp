#include "support/ui_doubles.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace testsupport {

namespace {

// Between two looks at a window that is awaited.
constexpr DWORD kLookMs = 20;
// How long a press may take before it is tried once more.
constexpr DWORD kPressPatienceMs = 2000;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// What WaitForWindow compares between two looks.
struct Look {
  struct Child {
    HWND hwnd;
    int id;
    std::wstring text;
    bool visible;
    bool enabled;
    bool operator==(const Child&) const = default;
  };
  std::wstring caption;
  LONG place[4];
  std::vector<Child> children;
  bool operator==(const Look&) const = default;

  // Whether there is enough to read: a caption and at least one visible child.
  bool Complete() const {
    if (caption.empty()) return false;
    for (const Child& child : children)
      if (child.visible) return true;
    return false;
  }
};

Look LookAt(HWND hwnd) {
  Look look{CaptionOf(hwnd), {}, {}};
  RECT r{};
  GetWindowRect(hwnd, &r);
  look.place[0] = r.left, look.place[1] = r.top, look.place[2] = r.right, look.place[3] = r.bottom;
  EnumChildWindows(
      hwnd,
      [](HWND child, LPARAM lp) -> BOOL {
        reinterpret_cast<Look*>(lp)->children.push_back(
            {child, GetDlgCtrlID(child), CaptionOf(child), IsWindowVisible(child) != FALSE, IsWindowEnabled(child) != FALSE});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&look));
  return look;
}

// Visible, enabled and the active window of its thread, which a window becomes only after its
// activation hooks have run.
bool IsActiveAndEnabled(HWND hwnd) {
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return false;
  GUITHREADINFO info{sizeof info};
  return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) && info.hwndActive == hwnd;
}

// Every visible top-level window of process processId that match accepts, in z-order.
std::vector<HWND> VisibleWindows(const std::function<bool(HWND)>& match, DWORD processId, bool firstOnly) {
  struct Search {
    const std::function<bool(HWND)>& match;
    DWORD processId;
    bool firstOnly;
    std::vector<HWND> found;
  } search{match, processId, firstOnly, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != s->processId || !IsWindowVisible(hwnd) || !s->match(hwnd)) return TRUE;
        s->found.push_back(hwnd);
        return !s->firstOnly;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits up to timeoutMs for hwnd to be destroyed or hidden.
bool WentAway(HWND hwnd, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kLookMs);
  }
}

}  // namespace

std::wstring CaptionOf(HWND hwnd) {
  std::wstring text(256, L'\0');
  for (;;) {
    int length = InternalGetWindowText(hwnd, text.data(), static_cast<int>(text.size()));
    if (length < static_cast<int>(text.size()) - 1) {
      text.resize(length);
      return text;
    }
    text.resize(text.size() * 2);
  }
}

BoxScript::BoxScript()
    : scope_(ui::MessageBoxSeam.Replace([this](const ui::BoxRequest& request) { return Answer(request); })),
      previewScope_(ui::PreviewSeam.Replace([this](const ui::PreviewRequest& request) {
        previews_.push_back(request);
        const int answer = Answer(ui::BoxRequest{request.owner, ui::BoxKind::Confirmation, request.title,
                                                 request.question, ui::BoxButtons::YesNo});
        return answer == ui::mrYes ? IDYES : IDNO;
      })) {}

int BoxScript::Answer(const ui::BoxRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) {
    ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(request.text);
    return static_cast<int>(ui::mrCancel);
  }
  int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

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

std::wstring CellOf(HWND view, int item, int column) {
  wchar_t text[1100] = {};
  LVITEMW lv{};
  lv.iSubItem = column;
  lv.pszText = text;
  lv.cchTextMax = 1100;
  SendMessageW(view, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
  return text;
}

bool IsAllWhite(const ui::Picture& picture) {
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      if (picture.Pixel(x, y) != RGB(255, 255, 255)) return false;
  return true;
}

DialogView ReadDialog(HWND dialog) {
  DialogView view;
  view.hwnd = dialog;
  view.caption = CaptionOf(dialog);
  GetWindowRect(dialog, &view.rect);
  view.owner = GetWindow(dialog, GW_OWNER);
  view.ownerEnabled = view.owner && IsWindowEnabled(view.owner);
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    std::wstring cls = ClassOf(child);
    if (!IsWindowVisible(child)) continue;
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
      view.buttons.push_back({GetDlgCtrlID(child), CaptionOf(child)});
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
      std::wstring text = CaptionOf(child);
      if (!text.empty()) view.texts.push_back(text);
    }
  }
  return view;
}

bool IsDialogOfThisProcess(HWND hwnd) { return ClassOf(hwnd) == L"#32770"; }

std::function<bool(HWND)> WindowCaptioned(std::wstring caption) {
  return [caption](HWND hwnd) { return CaptionOf(hwnd) == caption; };
}

HWND FindVisibleWindow(const std::function<bool(HWND)>& match, DWORD processId) {
  std::vector<HWND> found = VisibleWindows(match, processId, true);
  return found.empty() ? nullptr : found.front();
}

HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs, DWORD processId) {
  const DWORD start = GetTickCount();
  std::vector<std::pair<HWND, Look>> before;
  for (;;) {
    std::vector<std::pair<HWND, Look>> now;
    for (HWND hwnd : VisibleWindows(match, processId, false)) {
      if (!IsActiveAndEnabled(hwnd)) continue;
      Look look = LookAt(hwnd);
      if (!look.Complete()) continue;
      for (const auto& [earlier, seen] : before)
        if (earlier == hwnd && seen == look) return hwnd;
      now.emplace_back(hwnd, std::move(look));
    }
    before = std::move(now);
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kLookMs);
  }
}

bool PressAndConfirm(HWND dialog, int press, DWORD timeoutMs) {
  HWND button = press ? GetDlgItem(dialog, press) : nullptr;
  auto command = [&] {
    if (press == 0) {
      PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }
  };
  if (press == 0) {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (button) {
    PostMessageW(button, BM_CLICK, 0, 0);
  } else {
    command();
  }
  if (WentAway(dialog, std::min(timeoutMs, kPressPatienceMs))) return true;
  command();
  return WentAway(dialog, timeoutMs);
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
  self->found_ = true;
  self->act_(found);
  return 0;
}

DialogDriver::DialogDriver(int press, DWORD timeoutMs, DWORD processId)
    : driver_(IsDialogOfThisProcess,
              [this, press, timeoutMs](HWND dialog) {
                view_ = ReadDialog(dialog);
                view_.answered = PressAndConfirm(dialog, press, timeoutMs);
              },
              timeoutMs, processId) {}

const DialogView& DialogDriver::Wait() {
  driver_.Wait();
  return view_;
}

namespace {

// Puts text into a file dialog's file name field: the combo box cmb13 of the Explorer-style
// dialog, or the edit field edt1 of the older one.
void TypeFileName(HWND dialog, const std::wstring& text) {
  HWND field = GetDlgItem(dialog, 0x47c);
  if (!field) field = GetDlgItem(dialog, 0x480);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

FileDialogDriver::FileDialogDriver(std::optional<std::wstring> typed, DWORD timeoutMs)
    : driver_(IsDialogOfThisProcess,
              [this, typed, timeoutMs](HWND dialog) {
                if (typed) TypeFileName(dialog, *typed);
                answered_ = PressAndConfirm(dialog, typed ? IDOK : IDCANCEL, timeoutMs);
              },
              timeoutMs) {}

DialogSequence::DialogSequence(std::vector<DialogStep> steps, DWORD timeoutMs)
    : driver_(IsDialogOfThisProcess,
              [this, steps = std::move(steps), timeoutMs](HWND first) {
                HWND dialog = first;
                for (size_t i = 0; i < steps.size() && dialog; ++i) {
                  if (i > 0) dialog = WaitForWindow(IsDialogOfThisProcess, timeoutMs);
                  if (!dialog) break;
                  DialogView view = ReadDialog(dialog);
                  if (steps[i].typed) TypeFileName(dialog, *steps[i].typed);
                  view.answered = PressAndConfirm(dialog, steps[i].press, timeoutMs);
                  views_.push_back(std::move(view));
                  if (!views_.back().answered) break;
                }
              },
              timeoutMs) {}

const std::vector<DialogView>& DialogSequence::Wait() {
  driver_.Wait();
  return views_;
}

}  // namespace testsupport
