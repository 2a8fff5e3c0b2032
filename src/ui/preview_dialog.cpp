#include "ui/preview_dialog.h"

#include "ui/dialog_template.h"


namespace ui {

common::Seam<int(const PreviewRequest&)> PreviewSeam(&ShowRealPreview);

namespace {

constexpr int kQuestionId = 100;
constexpr int kListId = 101;

struct DialogData {
  const PreviewRequest* request;
  std::wstring list;
};

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* data = reinterpret_cast<const DialogData*>(lParam);
      SetDlgItemTextW(dialog, kQuestionId, data->request->question.c_str());
      SetDlgItemTextW(dialog, kListId, data->list.c_str());
      SetFocus(GetDlgItem(dialog, IDYES));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam) == IDYES ? IDYES : IDNO);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::wstring PreviewListText(const PreviewRequest& request) {
  std::wstring text = request.summary + L"\r\n";
  for (const std::wstring& line : request.lines) text += L"\r\n" + line;
  return text;
}

int ShowRealPreview(const PreviewRequest& request) {
  DialogTemplate dialog(request.title, 340, 220, 0);
  dialog.Item(L"STATIC", L"", kQuestionId, SS_LEFT | SS_NOPREFIX, 7, 7, 326, 40);
  dialog.Item(L"EDIT", L"", kListId,
              ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
                  WS_TABSTOP,
              7, 50, 326, 142);
  dialog.Item(L"BUTTON", L"はい(&Y)", IDYES, BS_DEFPUSHBUTTON | WS_TABSTOP, 226, 199, 50, 14);
  dialog.Item(L"BUTTON", L"いいえ(&N)", IDNO, BS_PUSHBUTTON | WS_TABSTOP, 283, 199, 50, 14);
  DialogData data{&request, PreviewListText(request)};
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), request.owner, PreviewProc,
                                                 reinterpret_cast<LPARAM>(&data));
  return result == IDYES ? IDYES : IDNO;
}

}  // namespace ui
