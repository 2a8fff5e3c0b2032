#pragma once
// Modal message boxes with this program's titles, icons and button captions, whatever the
// language of the system. Tests answer them through MessageBoxSeam.

#include <windows.h>

#include <string>
#include <string_view>

#include "common/seam.h"

namespace ui {

enum class BoxKind { Warning, Error, Information, Confirmation };
enum class BoxButtons { Ok, YesNo, YesNoCancel };

// Modal results of boxes and windows; callers test for the one they want (OK or Yes) only.
enum ModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrYes = IDYES, mrNo = IDNO };

// Everything a box shows: the title is the kind's unless given.
struct BoxRequest {
  HWND owner = nullptr;
  BoxKind kind = BoxKind::Information;
  std::wstring title;
  std::wstring text;
  BoxButtons buttons = BoxButtons::Ok;
  bool defaultNo = false;  // No, not the first button, is what Enter presses
};

// The title of a kind: "警告", "エラー", "情報" or "確認".
const wchar_t* BoxTitle(BoxKind kind);

// Shows the real box (MessageBoxW with its buttons renamed "はい(&Y)", "いいえ(&N)", "OK",
// "キャンセル" and the box centred on the screen). Returns the button pressed; closing the
// box answers mrCancel.
int ShowRealMessageBox(const BoxRequest& request);

// The box actually shown; a test replaces it to read and answer boxes.
extern common::Seam<int(const BoxRequest&)> MessageBoxSeam;

// Shows a box of kind with the kind's title; returns the button pressed.
int ShowMessageBox(HWND owner, BoxKind kind, std::wstring_view text, BoxButtons buttons = BoxButtons::Ok,
                   bool defaultNo = false);

}  // namespace ui
