#include "ui/preview_dialog.h"

#include <cstddef>
#include <cstring>

namespace ui {

common::Seam<int(const PreviewRequest&)> PreviewSeam(&ShowRealPreview);

namespace {

constexpr int kQuestionId = 100;
constexpr int kListId = 101;

// A dialog template in memory: the header, then one item after another, each on a DWORD.
class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& title, short width, short height) {
    DLGTEMPLATE header{};
    header.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header.cx = width;
    header.cy = height;
    Append(&header, sizeof header);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text(title);
    Word(9);
    Text(L"MS Shell Dlg");
    countAt_ = offsetof(DLGTEMPLATE, cdit);
  }

  void Item(const wchar_t* windowClass, const std::wstring& text, int id, DWORD style, short x, short y, short cx,
            short cy) {
    Align();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = static_cast<WORD>(id);
    Append(&item, sizeof item);
    Text(windowClass);
    Text(text);
    Word(0);  // no creation data
    WORD count;
    std::memcpy(&count, bytes_.data() + countAt_, sizeof count);
    ++count;
    std::memcpy(bytes_.data() + countAt_, &count, sizeof count);
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Append(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Word(WORD w) { Append(&w, sizeof w); }
  void Text(const std::wstring& text) { Append(text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }
  void Align() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }

  std::vector<char> bytes_;
  size_t countAt_ = 0;
};

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
  DialogTemplate dialog(request.title, 340, 220);
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
