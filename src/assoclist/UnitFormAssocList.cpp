#include "assoclist/UnitFormAssocList.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <array>

#include "assoc/assoc_texts.h"
#include "assoc/change_engine.h"
#include "assoc/change_requests.h"
#include "assoclist/default_apps_box.h"
#include "assoclist/export_text.h"
#include "assoclist/icon_cache.h"
#include "assoclist/list_texts.h"
#include "assoclist/row_loader.h"
#include "common/cursor.h"
#include "common/text.h"
#include "resource.h"
#include "ui/application.h"
#include "ui/clipboard.h"
#include "ui/image_list.h"
#include "ui/message_box.h"
#include "ui/change_runner.h"
#include "ui/owned_windows.h"

namespace {

using assoclist::AssocRow;
using assoclist::KindFilter;
using assoclist::kColumnCount;
namespace texts = assoclist::texts;
using ui::akBottom;
using ui::akLeft;
using ui::akRight;
using ui::akTop;
using Kind = ui::ControlKind;
using Form = TFormAssocList;

constexpr ui::Action kActions[] = {
    {Form::IDM_LIST_REFRESH, L"再読み込み(&R)", L"レジストリから関連づけを読み直します。(F5)", 0},
    {Form::IDM_LIST_SAVE_CSV, L"CSV で保存(&S)...", L"表示している一覧を CSV ファイルに保存します。", 1},
    {Form::IDM_LIST_EXPORT_REG, L"REG で保存(&E)...",
     L"選んだ行の拡張子とファイルタイプ (プロトコル) のキーを登録ファイルに保存します。", 1},
    {Form::IDM_LIST_IMPORT, L"読み込み(&I)...", L"登録ファイルの内容を、確認してからレジストリに書き込みます。", -1},
    {Form::IDM_LIST_DETAILS, L"詳細(&D)...",
     L"選んだ行のファイルタイプ (プロトコル) の動作、説明、アイコン、「プログラムから開く」の候補を表示し、変更します。", -1},
    {Form::IDM_LIST_SAVE_DEFAULTS, L"既定のアプリの構成ファイルに保存(&W)...",
     L"このユーザーの関連づけを、Windows がサインイン時に使う既定のアプリの構成ファイル (XML) に保存します。", 1},
    {Form::IDM_LIST_CHECK_DEFAULTS, L"既定のアプリの構成ファイルを確認(&K)...",
     L"既定のアプリの構成ファイルの誤りと、このコンピューターで使えない指定を調べます。ファイルは変更しません。", -1},
};

// The menu's commands are the window's (resource.h cannot name a class's constants).
static_assert(Form::IDM_LIST_SAVE_CSV == IDM_ASSOCLIST_SAVE_CSV && Form::IDM_LIST_EXPORT_REG == IDM_ASSOCLIST_EXPORT_REG &&
              Form::IDM_LIST_IMPORT == IDM_ASSOCLIST_IMPORT &&
              Form::IDM_LIST_SAVE_DEFAULTS == IDM_ASSOCLIST_SAVE_DEFAULTS &&
              Form::IDM_LIST_CHECK_DEFAULTS == IDM_ASSOCLIST_CHECK_DEFAULTS && Form::IDC_BTN_CLOSE == IDCANCEL);

constexpr std::array<int, 2> kImages = {IDI_IMAGE_RELOAD, IDI_IMAGE_SAVE};

constexpr ui::FormDef kForm = {
    assoclist::texts::kListTitle,
    648,
    420,
    0,  // the menu bar lies above the design, which the client keeps whole
    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
    0,
    IDR_LISTMENU,
    0,
    true,
    ui::FormPosition::OwnerCenter,
    Form::IDC_EDIT_FILTER,
};

constexpr ui::ControlDef kControls[] = {
    {Form::IDC_LABEL_FILTER, Kind::AccessLabel, {8, 12, 0, 13}, akLeft | akTop, L"絞り込み(&F)"},
    {Form::IDC_EDIT_FILTER, Kind::Edit, {80, 8, 560, 21}, akLeft | akTop | akRight, nullptr,
     L"入力した文字を含む行だけを表示します。大文字と小文字は区別しません。"},
    // No hint: the status bar keeps the count of rows while the pointer is over the list.
    {Form::IDC_LISTVIEW_ASSOC, Kind::ReportView, {8, 58, 632, 302}, akLeft | akTop | akRight | akBottom},
    {Form::IDC_RADIO_EXTENSIONS, Kind::Button, {8, 34, 80, 19}, akLeft | akTop, L"拡張子(&X)", L"拡張子の行を表示します。",
     0, 0, BS_AUTORADIOBUTTON | WS_GROUP},
    {Form::IDC_RADIO_PROTOCOLS, Kind::Button, {92, 34, 100, 19}, akLeft | akTop, L"プロトコル(&P)",
     L"プロトコル (mailto: など) の行を表示します。", 0, 0, BS_AUTORADIOBUTTON},
    {Form::IDC_RADIO_ALL, Kind::Button, {196, 34, 76, 19}, akLeft | akTop, L"すべて(&A)",
     L"拡張子とプロトコルの行を表示します。", 0, 0, BS_AUTORADIOBUTTON},
    {Form::IDC_CHECK_PROBLEMS, Kind::Button, {288, 34, 180, 19}, akLeft | akTop, L"問題のあるものだけ(&B)",
     L"「問題」の欄が空でない行だけを表示します。", 0, 0, BS_AUTOCHECKBOX | WS_GROUP},
    {Form::IDC_BTN_DETAILS, Kind::Button, {560, 31, 80, 24}, akRight | akTop, nullptr, nullptr,
     Form::IDM_LIST_DETAILS},
    {Form::IDC_BTN_HELP, Kind::Button, {8, 368, 75, 25}, akLeft | akBottom, L"ヘルプ(&H)", L"ヘルプを表示します。", 0,
     IDI_GLYPH_HELP},
    {Form::IDC_BTN_IMPORT, Kind::Button, {121, 368, 95, 25}, akRight | akBottom, nullptr, nullptr,
     Form::IDM_LIST_IMPORT},
    {Form::IDC_BTN_EXPORT, Kind::Button, {222, 368, 110, 25}, akRight | akBottom, nullptr, nullptr,
     Form::IDM_LIST_EXPORT_REG},
    {Form::IDC_BTN_REFRESH, Kind::Button, {338, 368, 100, 25}, akRight | akBottom, nullptr, nullptr,
     Form::IDM_LIST_REFRESH},
    {Form::IDC_BTN_SAVE, Kind::Button, {444, 368, 115, 25}, akRight | akBottom, nullptr, nullptr,
     Form::IDM_LIST_SAVE_CSV},
    {Form::IDC_BTN_CLOSE, Kind::Button, {565, 368, 75, 25}, akRight | akBottom, L"閉じる(&C)",
     L"一覧の画面を閉じます。読み込み中は Esc キーで読み込みを中止します。", 0, IDI_GLYPH_CLOSE},
    {Form::IDC_STATUSBAR, Kind::StatusBar, {0, 401, 648, 19}, akLeft | akRight | akBottom},
};

// The selector's buttons and what each shows.
struct KindButton {
  int id;
  KindFilter kinds;
};
constexpr KindButton kKindButtons[] = {
    {Form::IDC_RADIO_EXTENSIONS, KindFilter::Extensions},
    {Form::IDC_RADIO_PROTOCOLS, KindFilter::Protocols},
    {Form::IDC_RADIO_ALL, KindFilter::All},
};

// The width of each column at 96 DPI.
constexpr std::array<int, kColumnCount> kColumnWidths = {72, 100, 130, 190, 150, 210, 200};

// The smallest size of the window at 96 DPI.
constexpr SIZE kMinimumSize = {360, 240};

// Posted by the icon worker when icons wait to go into the list.
constexpr UINT kIconsReady = WM_APP + 1;
// The most icons put into the list for one message.
constexpr size_t kIconsPerRound = 4;
// Posted by the row loader when rows wait to go into the table.
constexpr UINT kRowsReady = WM_APP + 2;

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
    {Form::IDM_LIST_EXPORT_REG, &TFormAssocList::ExportReg}, {Form::IDM_LIST_IMPORT, &TFormAssocList::ImportReg},
    {Form::IDM_LIST_DETAILS, &TFormAssocList::DetailsOfSelected},
    {Form::IDM_LIST_SAVE_DEFAULTS, &TFormAssocList::SaveDefaultApps},
    {Form::IDM_LIST_CHECK_DEFAULTS, &TFormAssocList::CheckDefaultApps},
};

// The list's context menu: the commands on the selected rows.
constexpr std::pair<int, const wchar_t*> kContextMenu[] = {
    {Form::IDM_LIST_OPEN, L"開く(&O)\tEnter"},
    {Form::IDM_LIST_DETAILS, L"詳細(&D)..."},
    {Form::IDM_LIST_COPY, L"コピー(&C)\tCtrl+C"},
};

}  // namespace

TFormAssocList::TFormAssocList(HWND owner, int dpi)
    : ModelessForm(dpi),
      SaveDialogCsv(ui::FileDialog::Kind::Save, L"CSV ファイル (*.csv)|*.csv|すべてのファイル(*.*)|*.*", L"csv",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING),
      SaveDialogReg(ui::FileDialog::Kind::Save, L"登録ファイル (*.reg)|*.reg|すべてのファイル(*.*)|*.*", L"reg",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING),
      OpenDialogReg(ui::FileDialog::Kind::Open, L"登録ファイル (*.reg)|*.reg|すべてのファイル(*.*)|*.*", L"reg",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_ENABLESIZING),
      SaveDialogDefaults(ui::FileDialog::Kind::Save, L"XML ファイル (*.xml)|*.xml|すべてのファイル(*.*)|*.*", L"xml",
                         OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING),
      OpenDialogDefaults(ui::FileDialog::Kind::Open, L"XML ファイル (*.xml)|*.xml|すべてのファイル(*.*)|*.*", L"xml",
                         OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_ENABLESIZING) {
  CreateForm(owner, kForm, kControls, kActions, ui::LoadIconList(kImages, Scale(16)));
  SetWindowTextW(Handle(), texts::WindowTitle(ui::Application::Instance().Title()).c_str());
  Bind(IDC_EDIT_FILTER, EditFilter);
  CheckRadioButton(Handle(), IDC_RADIO_EXTENSIONS, IDC_RADIO_ALL, IDC_RADIO_EXTENSIONS);
  SaveDialogCsv.FileName = L"関連づけの一覧.csv";
  SaveDialogReg.FileName = L"関連づけ.reg";
  SaveDialogDefaults.FileName = L"既定のアプリ.xml";

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

void TFormAssocList::OnCommand(int id) {
  if (id == IDM_LIST_FOCUS) {
    SetFocus(ListViewAssoc());
    return;
  }
  if (id == IDC_BTN_CLOSE) {
    Close();
    return;
  }
  if (id == IDC_CHECK_PROBLEMS) {
    ShowProblemsOnly(IsDlgButtonChecked(Handle(), IDC_CHECK_PROBLEMS) == BST_CHECKED);
    return;
  }
  for (const KindButton& k : kKindButtons)
    if (k.id == id) return ShowKinds(k.kinds);
  for (const Command& c : kCommands)
    if (c.id == id) return (this->*c.execute)();
}

TFormAssocList::~TFormAssocList() = default;

bool TFormAssocList::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && (SaveWaiting() || Loading())) {
    // Esc drops a waiting save first, then stops the reading; the next one closes the window.
    if (SaveWaiting()) {
      CancelSaves();
    } else {
      StopLoading();
    }
    return true;
  }
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
    case kRowsReady:
      TakeRows();
      return 0;
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
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == ListViewAssoc()) {
        ShowContextMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
      }
      break;
    case WM_DESTROY:
      // The workers end with the window; the rows go too, and a save waiting for them.
      saves_.Cancel();
      loader_.reset();
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
void TFormAssocList::KeepingSelection(Change change, bool keepView) {
  HWND list = ListViewAssoc();
  std::vector<std::wstring> selected = SelectedExtensions();
  const int focus = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (focus >= 0 && static_cast<size_t>(focus) < table_.ShownCount()) {
    // The focused row goes first, so that it is focused again.
    const std::wstring focused = table_.Shown(focus).key;
    std::erase(selected, focused);
    selected.insert(selected.begin(), focused);
  }
  const int top = ListView_GetTopIndex(list);
  std::wstring topKey;
  if (keepView && top >= 0 && static_cast<size_t>(top) < table_.ShownCount()) topKey = table_.Shown(top).key;
  // The list draws itself when the change is complete, at its next paint.
  change();
  ShowTable();
  SelectKeys(selected, !keepView);
  if (topKey.empty()) return;
  // Rows that came above the top one move the view by as many rows, so that it stays put.
  const std::vector<size_t> now = table_.PositionsOf(std::span(&topKey, 1));
  RECT item{};
  if (now.empty() || !ListView_GetItemRect(list, 0, &item, LVIR_BOUNDS)) return;
  const int moved = static_cast<int>(now.front()) - ListView_GetTopIndex(list);
  if (moved != 0) ListView_Scroll(list, 0, moved * (item.bottom - item.top));
}

void TFormAssocList::SelectExtensions(const std::vector<std::wstring>& extensions) { SelectKeys(extensions, true); }

void TFormAssocList::SelectKeys(const std::vector<std::wstring>& extensions, bool scroll) {
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
    if (scroll) ListView_EnsureVisible(list, static_cast<int>(first.front()), FALSE);
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
  ShowStatus();
}

void TFormAssocList::ShowStatus() {
  if (Loading()) {
    SetRestingStatus(saves_.Status(examined_, total_));
  } else if (stopped_) {
    SetRestingStatus(texts::StoppedStatus(examined_, total_, table_.RowCount(), table_.ShownCount()));
  } else {
    SetRestingStatus(texts::ShownStatus(table_.RowCount(), table_.ShownCount()));
  }
}

void TFormAssocList::Refresh() {
  TCursorHourGlass busy;
  loader_.reset();
  stopped_ = false;
  assoclist::RowStream stream;
  std::vector<AssocRow> first;
  bool more = true;
  while (first.size() < kFirstPageRows && stream.Examined() < kFirstPageKeys && (more = stream.Next(first))) {
  }
  examined_ = stream.Examined();
  total_ = stream.Total();
  if (more) loader_ = std::make_unique<assoclist::RowLoader>(std::move(stream), Handle(), kRowsReady);
  KeepingSelection([&] { table_.SetRows(std::move(first)); });
  FinishSaves();
}

void TFormAssocList::TakeRows() {
  if (!loader_) return;
  assoclist::RowLoader::Part part = loader_->Take();
  examined_ = part.examined;
  total_ = part.total;
  if (part.done) loader_.reset();
  if (part.rows.empty()) {
    ShowStatus();
  } else {
    KeepingSelection([&] { table_.AppendRows(std::move(part.rows)); }, true);
  }
  FinishSaves();
}

void TFormAssocList::StopLoading() {
  if (!loader_) return;
  loader_.reset();
  stopped_ = true;
  ShowStatus();
  FinishSaves();
}

void TFormAssocList::CancelSaves() {
  if (!saves_.Cancel()) return;
  ShowStatus();
  ui::ShowMessageBox(Handle(), ui::BoxKind::Information, texts::kSaveCancelled);
}

void TFormAssocList::ShowKinds(KindFilter kinds) {
  CheckRadioButton(Handle(), IDC_RADIO_EXTENSIONS, IDC_RADIO_ALL,
                   std::find_if(std::begin(kKindButtons), std::end(kKindButtons),
                                [kinds](const KindButton& k) { return k.kinds == kinds; })->id);
  KeepingSelection([this, kinds] { table_.SetKinds(kinds); });
}

void TFormAssocList::ShowProblemsOnly(bool on) {
  CheckDlgButton(Handle(), IDC_CHECK_PROBLEMS, on ? BST_CHECKED : BST_UNCHECKED);
  KeepingSelection([this, on] { table_.SetProblemsOnly(on); });
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
  if (table_.Shown(position).kind != assoclist::RowKind::Extension) return;
  // The handler may read the registry and redraw: it gets its own copy of the name.
  const std::wstring extension = table_.Shown(position).key;
  OnOpenExtension(extension);
}

int TFormAssocList::ChosenRow() const {
  HWND list = ListViewAssoc();
  int item = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (item < 0 || !(ListView_GetItemState(list, item, LVIS_SELECTED) & LVIS_SELECTED))
    item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  return item;
}

void TFormAssocList::OpenSelected() { OpenRow(ChosenRow()); }

void TFormAssocList::DetailsOfSelected() {
  const int item = ChosenRow();
  if (item < 0 || static_cast<size_t>(item) >= table_.ShownCount()) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Information, texts::kSelectForDetails);
    return;
  }
  if (!OnOpenDetails) return;
  const AssocRow& row = table_.Shown(item);
  // The handler may read the registry and redraw: it gets its own copy of the name.
  const std::wstring key = row.key;
  OnOpenDetails(key, row.kind == assoclist::RowKind::Protocol);
}

void TFormAssocList::ShowContextMenu(POINT at) {
  if (at.x == -1 && at.y == -1) {
    // From the keyboard: below the focused row.
    RECT item{};
    const int chosen = ChosenRow();
    if (chosen < 0 || !ListView_GetItemRect(ListViewAssoc(), chosen, &item, LVIR_LABEL)) GetClientRect(ListViewAssoc(), &item);
    at = POINT{item.left, item.bottom};
    ClientToScreen(ListViewAssoc(), &at);
  }
  common::UniqueHMenu menu(CreatePopupMenu());
  if (!menu) return;
  for (const auto& [id, caption] : kContextMenu) AppendMenuW(menu.get(), MF_STRING, id, caption);
  SetMenuDefaultItem(menu.get(), IDM_LIST_OPEN, FALSE);
  const int chosen = static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x,
                                                     at.y, 0, Handle(), nullptr));
  if (chosen) OnCommand(chosen);
}

void TFormAssocList::CopySelected() {
  const std::vector<const AssocRow*> rows = SelectedRows();
  if (rows.empty()) return;
  if (!ui::PutOnClipboard(Handle(), assoclist::TabSeparatedText(rows)))
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, texts::kNoClipboard);
}

void TFormAssocList::SelectAll() { ListView_SetItemState(ListViewAssoc(), -1, LVIS_SELECTED, LVIS_SELECTED); }

std::vector<const AssocRow*> TFormAssocList::ShownRows() const {
  std::vector<const AssocRow*> rows;
  rows.reserve(table_.ShownCount());
  for (size_t position = 0; position < table_.ShownCount(); ++position) rows.push_back(&table_.Shown(position));
  return rows;
}

void TFormAssocList::SaveCsv() {
  if (!SaveDialogCsv.Execute(Handle())) return;
  Save({assoclist::SaveKind::Csv, SaveDialogCsv.FileName});
}

void TFormAssocList::ExportReg() {
  if (SelectedRows().empty()) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Information, texts::kSelectToExport);
    return;
  }
  if (!SaveDialogReg.Execute(Handle())) return;
  Save({assoclist::SaveKind::Reg, SaveDialogReg.FileName});
}

void TFormAssocList::Save(const assoclist::SaveRequest& request) {
  // The dialog's own loop took the worker's parts: the reading may have ended meanwhile.
  if (saves_.Defer(request, Loading())) {
    ShowStatus();
    return;
  }
  Write(request);
}

void TFormAssocList::Write(const assoclist::SaveRequest& request) {
  assoclist::SaveOutcome outcome;
  {
    TCursorHourGlass busy;
    const std::vector<const AssocRow*> rows =
        request.kind == assoclist::SaveKind::Csv ? ShownRows() : SelectedRows();
    outcome = assoclist::WriteRows(request, rows, !stopped_);
  }
  ui::ShowMessageBox(Handle(), outcome.failed ? ui::BoxKind::Warning : ui::BoxKind::Information, outcome.message);
}

void TFormAssocList::FinishSaves() {
  // A box's loop may start a new reading (a change made elsewhere reads the list again): the
  // saves still waiting then wait for its end.
  while (!Loading()) {
    std::optional<assoclist::SaveRequest> next = saves_.TakeNext();
    if (!next) return;
    ShowStatus();
    Write(*next);
  }
}

void TFormAssocList::SaveDefaultApps() {
  if (!SaveDialogDefaults.Execute(Handle())) return;
  assoclist::SaveOutcome outcome;
  {
    TCursorHourGlass busy;
    outcome = assoclist::SaveDefaultApps(SaveDialogDefaults.FileName);
  }
  ui::ShowMessageBox(Handle(), outcome.failed ? ui::BoxKind::Warning : ui::BoxKind::Information, outcome.message);
}

void TFormAssocList::CheckDefaultApps() {
  if (!OpenDialogDefaults.Execute(Handle())) return;
  assoclist::BoxMessage message;
  {
    TCursorHourGlass busy;
    message = assoclist::CheckDefaultAppsFile(OpenDialogDefaults.FileName);
  }
  ui::ShowMessageBox(Handle(), message.warning ? ui::BoxKind::Warning : ui::BoxKind::Information, message.text);
}

void TFormAssocList::ImportReg() {
  if (!OpenDialogReg.Execute(Handle())) return;
  const ui::ChangeRunner runner(
      Handle(), [this](const std::wstring& text) { SetRestingStatus(text); },
      [this] {
        // Even a failed change may have left something behind: every window shows the registry
        // as it is.
        if (OnChanged) {
          OnChanged();
        } else {
          Refresh();
        }
      });
  common::TChangeRequest request;
  {
    const ui::OwnedWindowsDisabled quiet(Handle());
    TCursorHourGlass busy;
    request = assoc::RequestImport(OpenDialogReg.FileName, runner.Tick(assoc::texts::kPlanning));
  }
  SetRestingStatus(L"");
  runner.Run(request);
}

void TFormAssocList::ShowHelp() { ui::Application::Instance().HelpContext(Handle(), kHelpContext); }
