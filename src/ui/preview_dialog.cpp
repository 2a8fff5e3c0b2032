#include "ui/preview_dialog.h"

#include <commctrl.h>

#include "ui/dialog_template.h"

namespace ui {

common::Seam<int(const PreviewRequest&)> PreviewSeam(&ShowRealPreview);

namespace {

constexpr int kQuestionId = 100;
constexpr int kListId = 101;
constexpr int kDetailId = 102;

struct DialogData {
  const PreviewRequest* request;
  std::wstring shown;  // the text a list line asked for last, kept while the list copies it
};

void FillList(HWND dialog, const PreviewRequest& request) {
  const HWND list = GetDlgItem(dialog, kListId);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  // One column wide enough for long keys; the list scrolls sideways.
  LVCOLUMNW column{LVCF_WIDTH};
  column.cx = 4000;
  ListView_InsertColumn(list, 0, &column);
  ListView_SetItemCountEx(list, static_cast<int>(PreviewLineCount(request)), LVSICF_NOINVALIDATEALL);
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<DialogData*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      data = reinterpret_cast<DialogData*>(lParam);
      SetDlgItemTextW(dialog, kQuestionId, data->request->question.c_str());
      FillList(dialog, *data->request);
      SetFocus(GetDlgItem(dialog, IDYES));
      return FALSE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!data || header->idFrom != kListId) return FALSE;
      // No exception may leave a dialog procedure: a line that cannot be made shows empty.
      try {
        if (header->code == LVN_GETDISPINFOW) {
          auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
          if (info->item.mask & LVIF_TEXT) {
            data->shown = PreviewLine(*data->request, static_cast<size_t>(info->item.iItem));
            info->item.pszText = data->shown.data();
          }
        } else if (header->code == LVN_ITEMCHANGED) {
          const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
          if ((change->uNewState & LVIS_SELECTED) && change->iItem >= 0)
            SetDlgItemTextW(dialog, kDetailId,
                            PreviewLineDetail(*data->request, static_cast<size_t>(change->iItem)).c_str());
        }
      } catch (...) {
        data->shown.clear();
      }
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

size_t PreviewLineCount(const PreviewRequest& request) { return request.about.size() + 1 + request.steps; }

std::wstring PreviewLine(const PreviewRequest& request, size_t line) {
  if (line < request.about.size()) return request.about[line];
  if (line == request.about.size()) return request.summary;
  const size_t step = line - request.about.size() - 1;
  return step < request.steps && request.step ? request.step(step) : std::wstring();
}

std::wstring PreviewLineDetail(const PreviewRequest& request, size_t line) {
  const size_t first = request.about.size() + 1;
  if (line >= first && line - first < request.steps && request.detail) return request.detail(line - first);
  return PreviewLine(request, line);
}

int ShowRealPreview(const PreviewRequest& request) {
  DialogTemplate dialog(request.title, 400, 260, 0);
  dialog.Item(L"STATIC", L"", kQuestionId, SS_LEFT | SS_NOPREFIX, 7, 7, 386, 32);
  dialog.Item(WC_LISTVIEWW, L"", kListId,
              LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER |
                  WS_TABSTOP,
              7, 42, 386, 140);
  dialog.Item(L"EDIT", L"", kDetailId,
              ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 186, 386, 48);
  dialog.Item(L"BUTTON", L"はい(&Y)", IDYES, BS_DEFPUSHBUTTON | WS_TABSTOP, 286, 239, 50, 14);
  dialog.Item(L"BUTTON", L"いいえ(&N)", IDNO, BS_PUSHBUTTON | WS_TABSTOP, 343, 239, 50, 14);
  DialogData data{&request, {}};
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), request.owner, PreviewProc,
                                                 reinterpret_cast<LPARAM>(&data));
  return result == IDYES ? IDYES : IDNO;
}

}  // namespace ui
