#include "assoclist/UnitFormAssocList.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "assoclist/export_text.h"
#include "assoclist/icon_cache.h"
#include "common/cursor.h"
#include "common/exception.h"
#include "resource.h"
#include "settings/file_access.h"
#include "ui/application.h"
#include "ui/image_list.h"
#include "ui/message_box.h"

namespace {

using assoclist::AssocRow;
using assoclist::kColumnCount;
using ui::akBottom;
using ui::akLeft;
using ui::akRight;
using ui::akTop;
using Kind = ui::ControlKind;
using Form = TFormAssocList;

constexpr ui::Action kActions[] = {
    {Form::IDM_LIST_REFRESH, L"再読み込み(&R)", L"レジストリから関連づけを読み直します。(F5)", 0},
    {Form::IDM_LIST_SAVE_CSV, L"CSV で保存(&S)...", L"表示している一覧を CSV ファイルに保存します。", 1},
};

constexpr std::array<int, 2> kImages = {IDI_IMAGE_RELOAD, IDI_IMAGE_SAVE};

constexpr ui::FormDef kForm = {
    L"関連づけの一覧",
    640,
    420,
    0,
    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
    0,
    0,
    0,
    true,
    ui::FormPosition::OwnerCenter,
    Form::IDC_EDIT_FILTER,
};

constexpr ui::ControlDef kControls[] = {
    {Form::IDC_LABEL_FILTER, Kind::AccessLabel, {8, 12, 0, 13}, akLeft | akTop, L"絞り込み(&F)"},
    {Form::IDC_EDIT_FILTER, Kind::Edit, {80, 8, 552, 21}, akLeft | akTop | akRight, nullptr,
     L"入力した文字を含む行だけを表示します。大文字と小文字は区別しません。"},
    // No hint: the status bar keeps the count of rows while the pointer is over the list.
    {Form::IDC_LISTVIEW_ASSOC, Kind::ReportView, {8, 36, 624, 324}, akLeft | akTop | akRight | akBottom},
    {Form::IDC_BTN_HELP, Kind::Button, {8, 368, 75, 25}, akLeft | akBottom, L"ヘルプ(&H)", L"ヘルプを表示します。", 0,
     IDI_GLYPH_HELP},
    {Form::IDC_BTN_REFRESH, Kind::Button, {319, 368, 105, 25}, akRight | akBottom, nullptr, nullptr,
     Form::IDM_LIST_REFRESH},
    {Form::IDC_BTN_SAVE, Kind::Button, {430, 368, 121, 25}, akRight | akBottom, nullptr, nullptr,
     Form::IDM_LIST_SAVE_CSV},
    {Form::IDC_BTN_CLOSE, Kind::Button, {557, 368, 75, 25}, akRight | akBottom, L"閉じる(&C)",
     L"一覧の画面を閉じます。", 0, IDI_GLYPH_CLOSE},
    {Form::IDC_STATUSBAR, Kind::StatusBar, {0, 401, 640, 19}, akLeft | akRight | akBottom},
};

// The width of each column at 96 DPI.
constexpr std::array<int, kColumnCount> kColumnWidths = {72, 100, 130, 190, 150, 210};

// The smallest size of the window at 96 DPI.
constexpr SIZE kMinimumSize = {360, 240};

// Posted by the icon worker when icons wait to go into the list.
constexpr UINT kIconsReady = WM_APP + 1;
// The most icons put into the list for one message.
constexpr size_t kIconsPerRound = 4;

// Where a key does its work: anywhere in the window, or only in one control.
enum class KeyPlace { Window, List, Filter };
struct KeyCommand {
  UINT key;
  bool control;
  KeyPlace place;
  int command;
};
constexpr KeyCommand kKeys[] = {
    {VK_F5, false, KeyPlace::Window, Form::IDM_LIST_REFRESH},
    {VK_F1, false, KeyPlace::Window, Form::IDC_BTN_HELP},
    {VK_RETURN, false, KeyPlace::List, Form::IDM_LIST_OPEN},
    {'C', true, KeyPlace::List, Form::IDM_LIST_COPY},
    {VK_INSERT, true, KeyPlace::List, Form::IDM_LIST_COPY},
    {'A', true, KeyPlace::List, Form::IDM_LIST_SELECT_ALL},
    {VK_DOWN, false, KeyPlace::Filter, Form::IDM_LIST_FOCUS},
};

struct Command {
  int id;
  void (TFormAssocList::*execute)();
};
constexpr Command kCommands[] = {
    {Form::IDM_LIST_REFRESH, &TFormAssocList::Refresh},   {Form::IDM_LIST_SAVE_CSV, &TFormAssocList::SaveCsv},
    {Form::IDM_LIST_COPY, &TFormAssocList::CopySelected}, {Form::IDM_LIST_OPEN, &TFormAssocList::OpenSelected},
    {Form::IDM_LIST_SELECT_ALL, &TFormAssocList::SelectAll}, {Form::IDC_BTN_HELP, &TFormAssocList::ShowHelp},
};

constexpr wchar_t kSaved[] = L"一覧を CSV ファイルに保存しました。";
constexpr wchar_t kNoClipboard[] = L"クリップボードにコピーできませんでした。";

// A count with its thousands separated by commas.
std::wstring Grouped(size_t count) {
  std::wstring digits = std::to_wstring(count);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, L',');
  return digits;
}

// The clipboard, opened for one change.
class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardScope() {
    if (open_) CloseClipboard();
  }
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// Replaces the clipboard's content by text; false when the clipboard cannot be had.
bool PutOnClipboard(HWND owner, const std::wstring& text) {
  // Another program may hold the clipboard for a moment.
  for (int attempt = 0; attempt < 5; ++attempt) {
    ClipboardScope clipboard(owner);
    if (!clipboard.IsOpen()) {
      Sleep(20);
      continue;
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    common::UniqueHGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    void* target = GlobalLock(memory.get());
    if (!target) return false;
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
    // The clipboard owns the memory now.
    memory.release();
    return true;
  }
  return false;
}

}  // namespace

TFormAssocList::TFormAssocList(HWND owner, int dpi)
    : Form(dpi),
      SaveDialogCsv(ui::FileDialog::Kind::Save, L"CSV ファイル (*.csv)|*.csv|すべてのファイル(*.*)|*.*", L"csv",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING) {
  CreateForm(owner, kForm, kControls, kActions, ui::LoadIconList(kImages, Scale(16)));
  Bind(IDC_EDIT_FILTER, EditFilter);
  SaveDialogCsv.FileName = L"関連づけの一覧.csv";

  HWND list = ListViewAssoc();
  for (int column = 0; column < kColumnCount; ++column) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    c.pszText = const_cast<wchar_t*>(assoclist::kColumnCaptions[column]);
    c.cx = Scale(kColumnWidths[column]);
    c.iSubItem = column;
    ListView_InsertColumn(list, column, &c);
  }
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const int size = Scale(16);
  icons_ = std::make_unique<assoclist::IconCache>(
      size, assoclist::ExtractSmallIcon({std::wstring(system) + L"\\shell32.dll", 0}, size), Handle(), kIconsReady);
  ListView_SetImageList(list, icons_->Images(), LVSIL_SMALL);
  Refresh();
}

TFormAssocList::~TFormAssocList() {
  // Destroyed here, while this class still handles its messages: the worker stops first.
  if (Handle()) DestroyWindow(Handle());
}

void TFormAssocList::Activate() {
  ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(Handle());
}

void TFormAssocList::OnCommand(int id) {
  if (id == IDM_LIST_FOCUS) {
    SetFocus(ListViewAssoc());
    return;
  }
  if (id == IDC_BTN_CLOSE) {
    Close();
    return;
  }
  for (const Command& c : kCommands)
    if (c.id == id) return (this->*c.execute)();
}

bool TFormAssocList::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    for (const KeyCommand& k : kKeys) {
      if (k.key != msg.wParam || k.control != control) continue;
      if (k.place == KeyPlace::List && msg.hwnd != ListViewAssoc()) continue;
      if (k.place == KeyPlace::Filter && msg.hwnd != EditFilter.Handle()) continue;
      OnCommand(k.command);
      return true;
    }
  }
  return Form::PreTranslateMessage(msg);
}

LRESULT TFormAssocList::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kIconsReady:
      // A few icons at a time; the rest come with the next round, after waiting input.
      if (!icons_) return 0;
      if (const size_t taken = icons_->TakeExtracted(kIconsPerRound); taken > 0) {
        RedrawIcons();
        if (taken == kIconsPerRound) PostMessageW(Handle(), kIconsReady, 0, 0);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_EDIT_FILTER && HIWORD(wParam) == EN_CHANGE) {
        FilterChanged();
        return 0;
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = POINT{Scale(kMinimumSize.cx), Scale(kMinimumSize.cy)};
      return 0;
    }
    case WM_DESTROY:
      // The worker ends with the window; the rows go too.
      if (icons_) icons_->Stop();
      table_.SetRows({});
      break;
    default:
      break;
  }
  return Form::HandleMessage(msg, wParam, lParam);
}

LRESULT TFormAssocList::OnNotify(NMHDR* header) {
  if (header->hwndFrom != ListViewAssoc()) return Form::OnNotify(header);
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
      if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= table_.ShownCount()) return 0;
      if (item.iSubItem < 0 || item.iSubItem >= kColumnCount) return 0;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
        lstrcpynW(item.pszText, table_.Shown(item.iItem).cells[item.iSubItem].c_str(), item.cchTextMax);
      if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) item.iImage = ImageOfRow(item.iItem);
      return 0;
    }
    case LVN_ODCACHEHINT:
      // The rows about to be drawn ask for their icons anew; those that scrolled by need none.
      icons_->DropQueued();
      return 0;
    case LVN_ODFINDITEMW: {
      const auto* find = reinterpret_cast<NMLVFINDITEMW*>(header);
      if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return -1;
      const size_t found = table_.FindPrefix(find->lvfi.psz, find->iStart < 0 ? 0 : find->iStart);
      return found == assoclist::AssocTable::npos ? -1 : static_cast<LRESULT>(found);
    }
    case LVN_COLUMNCLICK:
      SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      return 0;
    case LVN_ITEMACTIVATE:
      OpenRow(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
      return 0;
    default:
      return 0;
  }
}

int TFormAssocList::ImageOfRow(size_t position) {
  const AssocRow& row = table_.Shown(position);
  if (!row.iconReadable) return 0;
  const auto location = assoclist::ParseIconLocation(row.cells[assoclist::kIcon]);
  return location ? icons_->ImageOf(*location) : 0;
}

void TFormAssocList::RedrawIcons() {
  // Only the strip of icons of the rows in view is drawn again, not their text.
  HWND list = ListViewAssoc();
  const int top = ListView_GetTopIndex(list);
  const int last = std::min(top + ListView_GetCountPerPage(list), ListView_GetItemCount(list) - 1);
  RECT first{}, bottom{};
  if (last < top || !ListView_GetItemRect(list, top, &first, LVIR_ICON) ||
      !ListView_GetItemRect(list, last, &bottom, LVIR_ICON))
    return;
  first.bottom = bottom.bottom;
  InvalidateRect(list, &first, FALSE);
}

template <typename Change>
void TFormAssocList::KeepingSelection(Change change) {
  HWND list = ListViewAssoc();
  std::vector<std::wstring> selected = SelectedExtensions();
  const int focus = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (focus >= 0 && static_cast<size_t>(focus) < table_.ShownCount()) {
    // The focused row goes first, so that it is focused again.
    const std::wstring focused = table_.Shown(focus).key;
    std::erase(selected, focused);
    selected.insert(selected.begin(), focused);
  }
  // The list draws itself when the change is complete, at its next paint.
  change();
  ShowTable();
  SelectExtensions(selected);
}

void TFormAssocList::SelectExtensions(const std::vector<std::wstring>& extensions) {
  HWND list = ListViewAssoc();
  // One item at a time: a change of every item at once costs a round per item on some systems.
  const int count = ListView_GetItemCount(list);
  if (count > 0 && ListView_GetSelectedCount(list) == static_cast<UINT>(count)) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  } else {
    for (int item = ListView_GetNextItem(list, -1, LVNI_SELECTED); item >= 0;
         item = ListView_GetNextItem(list, item, LVNI_SELECTED))
      ListView_SetItemState(list, item, 0, LVIS_SELECTED);
  }
  if (const int focus = ListView_GetNextItem(list, -1, LVNI_FOCUSED); focus >= 0)
    ListView_SetItemState(list, focus, 0, LVIS_FOCUSED);
  if (extensions.empty()) return;

  const std::vector<size_t> positions = table_.PositionsOf(extensions);
  if (!positions.empty() && positions.size() == table_.ShownCount()) {
    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
  } else {
    for (size_t position : positions)
      ListView_SetItemState(list, static_cast<int>(position), LVIS_SELECTED, LVIS_SELECTED);
  }
  const std::vector<size_t> first = table_.PositionsOf(std::span(extensions).first(1));
  if (!first.empty()) {
    ListView_SetItemState(list, static_cast<int>(first.front()), LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_EnsureVisible(list, static_cast<int>(first.front()), FALSE);
  }
}

void TFormAssocList::ShowTable() {
  HWND list = ListViewAssoc();
  const int count = static_cast<int>(table_.ShownCount());
  if (ListView_GetItemCount(list) != count) ListView_SetItemCountEx(list, count, LVSICF_NOSCROLL);
  InvalidateRect(list, nullptr, FALSE);
  HWND headings = ListView_GetHeader(list);
  for (int column = 0; column < kColumnCount; ++column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(headings, column, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (column == table_.SortColumn()) item.fmt |= table_.Descending() ? HDF_SORTDOWN : HDF_SORTUP;
    Header_SetItem(headings, column, &item);
  }
  SetRestingStatus(L"全 " + Grouped(table_.RowCount()) + L" 件中 " + Grouped(table_.ShownCount()) +
                   L" 件を表示しています。");
}

void TFormAssocList::Refresh() {
  TCursorHourGlass busy;
  KeepingSelection([this] { table_.SetRows(assoclist::ReadAssociationRows()); });
}

void TFormAssocList::FilterChanged() {
  KeepingSelection([this] { table_.SetFilter(EditFilter.Text()); });
}

void TFormAssocList::SortByColumn(int column) {
  KeepingSelection([this, column] { table_.SortBy(column); });
}

std::vector<std::wstring> TFormAssocList::SelectedExtensions() const {
  std::vector<std::wstring> keys;
  for (const AssocRow* row : SelectedRows()) keys.push_back(row->key);
  return keys;
}

std::vector<const AssocRow*> TFormAssocList::SelectedRows() const {
  std::vector<const AssocRow*> rows;
  HWND list = ListViewAssoc();
  for (int item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
       item >= 0 && static_cast<size_t>(item) < table_.ShownCount(); item = ListView_GetNextItem(list, item, LVNI_SELECTED))
    rows.push_back(&table_.Shown(item));
  return rows;
}

void TFormAssocList::OpenRow(int position) {
  if (position < 0 || static_cast<size_t>(position) >= table_.ShownCount() || !OnOpenExtension) return;
  // The handler may read the registry and redraw: it gets its own copy of the name.
  const std::wstring extension = table_.Shown(position).key;
  OnOpenExtension(extension);
}

void TFormAssocList::OpenSelected() {
  HWND list = ListViewAssoc();
  int item = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (item < 0 || !(ListView_GetItemState(list, item, LVIS_SELECTED) & LVIS_SELECTED))
    item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  OpenRow(item);
}

void TFormAssocList::CopySelected() {
  const std::vector<const AssocRow*> rows = SelectedRows();
  if (rows.empty()) return;
  if (!PutOnClipboard(Handle(), assoclist::TabSeparatedText(rows)))
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, kNoClipboard);
}

void TFormAssocList::SelectAll() { ListView_SetItemState(ListViewAssoc(), -1, LVIS_SELECTED, LVIS_SELECTED); }

void TFormAssocList::SaveCsv() {
  if (!SaveDialogCsv.Execute(Handle())) return;
  std::vector<const AssocRow*> rows;
  rows.reserve(table_.ShownCount());
  for (size_t position = 0; position < table_.ShownCount(); ++position) rows.push_back(&table_.Shown(position));
  try {
    TCursorHourGlass busy;
    const std::string bytes = assoclist::CsvBytes(rows);
    settings::ReplaceWholeFile(SaveDialogCsv.FileName, [&](settings::ByteSink& sink) { sink.Write(bytes); });
  } catch (const Exception& e) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, e.Message());
    return;
  }
  ui::ShowMessageBox(Handle(), ui::BoxKind::Information, kSaved);
}

void TFormAssocList::ShowHelp() { ui::Application::Instance().HelpContext(Handle(), kHelpContext); }
