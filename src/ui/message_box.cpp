#include "ui/message_box.h"

#include "common/handles.h"

namespace ui {

common::Seam<int(const BoxRequest&)> MessageBoxSeam(&ShowRealMessageBox);

namespace {

struct KindRow {
  BoxKind kind;
  const wchar_t* title;
  UINT icon;
};
constexpr KindRow kKinds[] = {
    {BoxKind::Warning, L"警告", MB_ICONEXCLAMATION},
    {BoxKind::Error, L"エラー", MB_ICONHAND},
    {BoxKind::Information, L"情報", MB_ICONINFORMATION},
    {BoxKind::Confirmation, L"確認", MB_ICONQUESTION},
};

const KindRow& RowOf(BoxKind kind) {
  for (const auto& row : kKinds)
    if (row.kind == kind) return row;
  return kKinds[0];
}

struct ButtonCaption {
  int id;
  const wchar_t* caption;
};
constexpr ButtonCaption kCaptions[] = {
    {IDYES, L"はい(&Y)"}, {IDNO, L"いいえ(&N)"}, {IDOK, L"OK"}, {IDCANCEL, L"キャンセル"}};

// The box being opened on this thread; its first activation renames and centres it.
thread_local bool t_boxPending = false;

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && t_boxPending) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t cls[16] = {};
    GetClassNameW(box, cls, 16);
    if (wcscmp(cls, L"#32770") == 0) {
      t_boxPending = false;
      for (const auto& c : kCaptions)
        if (HWND button = GetDlgItem(box, c.id)) SetWindowTextW(button, c.caption);
      RECT r;
      GetWindowRect(box, &r);
      MONITORINFO mi{sizeof mi};
      GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY), &mi);
      const RECT& work = mi.rcWork;
      int w = r.right - r.left, h = r.bottom - r.top;
      SetWindowPos(box, nullptr, work.left + (work.right - work.left - w) / 2, work.top + (work.bottom - work.top - h) / 2,
                   0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

const wchar_t* BoxTitle(BoxKind kind) { return RowOf(kind).title; }

int ShowRealMessageBox(const BoxRequest& request) {
  constexpr UINT kButtons[] = {MB_OK, MB_YESNO, MB_YESNOCANCEL};
  UINT flags = RowOf(request.kind).icon | kButtons[static_cast<int>(request.buttons)];
  if (request.defaultNo) flags |= MB_DEFBUTTON2;
  if (!request.owner) flags |= MB_TASKMODAL;
  t_boxPending = true;
  common::UniqueHHook hook(SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId()));
  int answer = MessageBoxW(request.owner, request.text.c_str(), request.title.c_str(), flags);
  t_boxPending = false;
  return answer == 0 ? mrCancel : answer;
}

int ShowMessageBox(HWND owner, BoxKind kind, std::wstring_view text, BoxButtons buttons, bool defaultNo) {
  return MessageBoxSeam(BoxRequest{owner, kind, BoxTitle(kind), std::wstring(text), buttons, defaultNo});
}

}  // namespace ui
