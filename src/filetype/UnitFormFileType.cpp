#include "filetype/UnitFormFileType.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

#include "assoc/assoc_texts.h"
#include "assoc/change_engine.h"
#include "assoc/change_requests.h"
#include "assoc/change_policy.h"
#include "assoc/command_program.h"
#include "assoc/safety.h"
#include "common/cursor.h"
#include "common/exception.h"
#include "common/field_limits.h"
#include "common/text.h"
#include "filetype/file_type_texts.h"
#include "filetype/verb_dialog.h"
#include "iconpicker/UnitFormIconList.h"
#include "resource.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/change_runner.h"

namespace {

using assoc::TExtensionDisplay;
using assoc::TVerb;
using assoc::TVerbSource;
namespace texts = filetype::texts;
using ui::akBottom;
using ui::akLeft;
using ui::akRight;
using ui::akTop;
using Kind = ui::ControlKind;
using Form = TFormFileType;

constexpr ui::FormDef kForm = {
    texts::kTitle, 600, 486, 0, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 0, true, ui::FormPosition::OwnerCenter,
    Form::IDC_LISTVIEW_VERBS,
};

constexpr ui::ControlDef kControls[] = {
    {Form::IDC_LABEL_TARGET, Kind::Label, {8, 8, 584, 13}, akLeft | akTop | akRight},
    {Form::IDC_LABEL_VERBS, Kind::AccessLabel, {8, 28, 200, 13}, akLeft | akTop, L"動作(&V)"},
    {Form::IDC_LISTVIEW_VERBS, Kind::ReportView, {8, 44, 496, 150}, akLeft | akTop | akRight, nullptr,
     L"右クリックのメニューに並ぶ動作です。Windows が追加する動作は「場所」が「システム」で、変更できません。"},
    {Form::IDC_BTN_ADD_VERB, Kind::Button, {512, 44, 80, 25}, akTop | akRight, L"追加(&A)...",
     L"動作を追加します。"},
    {Form::IDC_BTN_EDIT_VERB, Kind::Button, {512, 74, 80, 25}, akTop | akRight, L"編集(&E)...",
     L"選んだ動作の名前、表示名、コマンドを変更します。"},
    {Form::IDC_BTN_DELETE_VERB, Kind::Button, {512, 104, 80, 25}, akTop | akRight, L"削除(&R)",
     L"選んだ動作を削除します。"},
    {Form::IDC_BTN_DEFAULT_VERB, Kind::Button, {512, 134, 80, 25}, akTop | akRight, L"既定にする(&M)",
     L"選んだ動作を、ダブルクリックで実行する動作にします。"},
    {Form::IDC_LABEL_DESCRIPTION, Kind::AccessLabel, {8, 208, 90, 13}, akLeft | akTop, L"説明(&T)"},
    {Form::IDC_EDIT_DESCRIPTION, Kind::Edit, {100, 204, 404, 21}, akLeft | akTop | akRight, nullptr,
     L"エクスプローラーの「種類」に表示するファイルタイプの説明です。"},
    {Form::IDC_LABEL_ICON, Kind::AccessLabel, {8, 236, 90, 13}, akLeft | akTop, L"アイコン(&I)"},
    {Form::IDC_EDIT_ICON, Kind::Edit, {100, 232, 404, 21}, akLeft | akTop | akRight, nullptr,
     L"アイコンのファイルと番号です (例: C:\\Windows\\System32\\shell32.dll,0)。"},
    {Form::IDC_BTN_ICON, Kind::Button, {512, 231, 80, 23}, akTop | akRight, L"参照(&O)...",
     L"アイコンを一覧から選びます。"},
    {Form::IDC_LABEL_PERCEIVED, Kind::AccessLabel, {8, 264, 90, 13}, akLeft | akTop, L"種類(&K)"},
    {Form::IDC_COMBO_PERCEIVED, Kind::ComboBox, {100, 260, 130, 21}, akLeft | akTop, nullptr,
     L"拡張子の値「PerceivedType」です。Windows はこの種類ごとの動作も追加します。"},
    {Form::IDC_LABEL_CONTENT, Kind::AccessLabel, {240, 264, 110, 13}, akLeft | akTop, L"Content Type(&N)"},
    {Form::IDC_EDIT_CONTENT, Kind::Edit, {352, 260, 152, 21}, akLeft | akTop | akRight, nullptr,
     L"拡張子の値「Content Type」(MIME の種類、例: text/plain) です。"},
    {Form::IDC_LABEL_DISPLAY, Kind::AccessLabel, {8, 292, 90, 13}, akLeft | akTop, L"拡張子の表示(&X)"},
    {Form::IDC_COMBO_DISPLAY, Kind::ComboBox, {100, 288, 200, 21}, akLeft | akTop, nullptr,
     L"エクスプローラーがこのファイルタイプの拡張子を表示するかどうかです (AlwaysShowExt、NeverShowExt)。", 0, 0,
     CBS_DROPDOWNLIST},
    {Form::IDC_LABEL_FLAGS, Kind::Label, {320, 292, 70, 13}, akLeft | akTop, L"EditFlags"},
    {Form::IDC_EDIT_FLAGS, Kind::Edit, {392, 288, 112, 21}, akLeft | akTop, nullptr,
     L"ファイルタイプの値「EditFlags」です (表示のみ)。", 0, 0, ES_READONLY},
    {Form::IDC_LABEL_OPENWITH, Kind::AccessLabel, {8, 320, 300, 13}, akLeft | akTop, L"「プログラムから開く」の候補(&W)"},
    {Form::IDC_LISTVIEW_OPENWITH, Kind::ReportView, {8, 336, 496, 106}, akLeft | akTop | akRight | akBottom, nullptr,
     L"「プログラムから開く」に並ぶ候補と、それが起動するプログラムです。"},
    {Form::IDC_BTN_DELETE_OPENWITH, Kind::Button, {512, 336, 80, 25}, akTop | akRight, L"削除(&L)",
     L"選んだ候補を削除します。プログラムが見つからない候補の片付けに使います。"},
    {Form::IDC_BTN_HELP, Kind::Button, {8, 452, 75, 25}, akLeft | akBottom, L"ヘルプ(&H)", L"ヘルプを表示します。", 0,
     IDI_GLYPH_HELP},
    {Form::IDC_BTN_APPLY, Kind::Button, {436, 452, 75, 25}, akRight | akBottom, L"適用(&P)",
     L"変更の内容を確認してから、レジストリに書き込みます。元に戻すことができます。", 0, IDI_GLYPH_OK},
    {Form::IDC_BTN_CLOSE, Kind::Button, {517, 452, 75, 25}, akRight | akBottom, L"閉じる(&C)",
     L"この画面を閉じます。", 0, IDI_GLYPH_CLOSE},
};

constexpr std::array<int, std::size(texts::kVerbColumns)> kVerbWidths = {60, 90, 150, 36, 50, 96};
constexpr std::array<int, std::size(texts::kOpenWithColumns)> kOpenWithWidths = {110, 80, 180, 110};

// The smallest size of the window at 96 DPI.
constexpr SIZE kMinimumSize = {480, 420};

// The text fields and the values they show.
struct TextField {
  int id;
  std::wstring assoc::TFileType::*value;
};
constexpr TextField kTextFields[] = {
    {Form::IDC_EDIT_DESCRIPTION, &assoc::TFileType::Description},
    {Form::IDC_EDIT_ICON, &assoc::TFileType::Icon},
    {Form::IDC_COMBO_PERCEIVED, &assoc::TFileType::PerceivedType},
    {Form::IDC_EDIT_CONTENT, &assoc::TFileType::ContentType},
};

struct Command {
  int id;
  void (TFormFileType::*execute)();
};
constexpr Command kCommands[] = {
    {Form::IDC_BTN_ADD_VERB, &Form::AddVerb},          {Form::IDC_BTN_EDIT_VERB, &Form::EditVerb},
    {Form::IDC_BTN_DELETE_VERB, &Form::DeleteVerb},    {Form::IDC_BTN_DEFAULT_VERB, &Form::MakeDefaultVerb},
    {Form::IDC_BTN_DELETE_OPENWITH, &Form::DeleteOpenWith}, {Form::IDC_BTN_ICON, &Form::BrowseIcon},
};

void AddColumns(HWND list, std::span<const wchar_t* const> captions, std::span<const int> widths,
                const ui::Form& form) {
  for (size_t column = 0; column < captions.size(); ++column) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    c.pszText = const_cast<wchar_t*>(captions[column]);
    c.cx = form.Scale(widths[column]);
    c.iSubItem = static_cast<int>(column);
    ListView_InsertColumn(list, static_cast<int>(column), &c);
  }
}

int Selected(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

void Select(HWND list, int position) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (position < 0 || position >= ListView_GetItemCount(list)) return;
  ListView_SetItemState(list, position, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, position, FALSE);
}

}  // namespace

TFormFileType::TFormFileType(HWND owner, const assoc::TTypeTarget& target, int dpi) : ModelessForm(dpi) {
  before_ = assoc::ReadFileType(target);
  CreateForm(owner, kForm, kControls, {}, {});
  Bind(IDC_EDIT_DESCRIPTION, EditDescription);
  Bind(IDC_EDIT_ICON, EditIcon);
  Bind(IDC_EDIT_CONTENT, EditContent);
  Bind(IDC_EDIT_FLAGS, EditFlags);
  Bind(IDC_COMBO_PERCEIVED, ComboPerceived);
  Bind(IDC_COMBO_DISPLAY, ComboDisplay);
  AddColumns(VerbList(), texts::kVerbColumns, kVerbWidths, *this);
  AddColumns(OpenWithList(), texts::kOpenWithColumns, kOpenWithWidths, *this);
  for (HWND list : {VerbList(), OpenWithList()})
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SINGLESEL);
  for (const wchar_t* type : assoc::kPerceivedTypes)
    SendMessageW(ComboPerceived.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type));
  for (const wchar_t* choice : texts::kDisplayChoices)
    SendMessageW(ComboDisplay.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
  Load();
}

void TFormFileType::Load() {
  edited_ = before_;
  SetWindowTextW(Handle(), texts::WindowTitle(before_).c_str());
  SetDlgItemTextW(Handle(), IDC_LABEL_TARGET, texts::TargetLine(before_).c_str());
  // A field takes edits only where its value applies and can be shown: a type key the extension
  // does not name has no description of its own, a protocol has no extension's values, and a
  // value longer than any field holds (which an edit control would show in quadratic time) stays
  // as it is.
  const bool extension = !before_.Target.Protocol;
  for (const TextField& field : kTextFields) {
    const std::wstring& value = before_.*field.value;
    const bool tooLong = common::TooLong(common::LimitedField::FileType, value);
    const bool applies = field.id == IDC_EDIT_DESCRIPTION   ? before_.OwnType || !extension
                         : field.id == IDC_EDIT_ICON ? true
                                                     : extension;
    SetDlgItemTextW(Handle(), field.id, tooLong ? texts::kTooLongToShow : value.c_str());
    EnableWindow(Item(field.id), applies && !tooLong);
  }
  SendMessageW(ComboDisplay.Handle(), CB_SETCURSEL, static_cast<WPARAM>(before_.Display), 0);
  EditFlags.SetText(before_.EditFlags.value_or(L""));
  for (int id : {IDC_LISTVIEW_OPENWITH, IDC_BTN_DELETE_OPENWITH}) EnableWindow(Item(id), extension);
  ShowLists();
}

void TFormFileType::ShowLists() {
  shownDefault_ = assoc::EffectiveDefaultVerb(edited_);
  ListView_SetItemCountEx(VerbList(), static_cast<int>(edited_.Verbs.size()), 0);
  ListView_SetItemCountEx(OpenWithList(), static_cast<int>(edited_.OpenWith.size()), 0);
  InvalidateRect(VerbList(), nullptr, FALSE);
  InvalidateRect(OpenWithList(), nullptr, FALSE);
}

void TFormFileType::TakeFields() {
  for (const TextField& field : kTextFields) {
    if (!IsWindowEnabled(Item(field.id))) continue;
    HWND item = Item(field.id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    edited_.*field.value = std::move(text);
  }
  const LRESULT display = SendMessageW(ComboDisplay.Handle(), CB_GETCURSEL, 0, 0);
  if (display >= 0 && display < static_cast<LRESULT>(std::size(texts::kDisplayChoices)))
    edited_.Display = static_cast<TExtensionDisplay>(display);
}

assoc::TFileType TFormFileType::Edited() {
  TakeFields();
  return edited_;
}

bool TFormFileType::Modified() { return !assoc::PlanFileTypeEdit(before_, Edited()).Steps.empty(); }

void TFormFileType::Reload() {
  if (Modified()) return;
  try {
    before_ = assoc::ReadFileType(before_.Target);
  } catch (const Exception&) {
    return;
  }
  Load();
}

int TFormFileType::SelectedVerb() const {
  const int selected = Selected(VerbList());
  return selected >= 0 && static_cast<size_t>(selected) < edited_.Verbs.size() ? selected : -1;
}

int TFormFileType::SelectedOpenWith() const {
  const int selected = Selected(OpenWithList());
  return selected >= 0 && static_cast<size_t>(selected) < edited_.OpenWith.size() ? selected : -1;
}

void TFormFileType::SelectVerb(int position) { Select(VerbList(), position); }
void TFormFileType::SelectOpenWith(int position) { Select(OpenWithList(), position); }

std::vector<std::wstring> TFormFileType::OtherVerbNames(int except) const {
  std::vector<std::wstring> names;
  for (size_t i = 0; i < edited_.Verbs.size(); ++i)
    if (static_cast<int>(i) != except && edited_.Verbs[i].Source == TVerbSource::Type)
      names.push_back(edited_.Verbs[i].Name);
  return names;
}

void TFormFileType::AddVerb() {
  filetype::TVerbRequest request{Handle(), true, TVerb{}, OtherVerbNames(-1)};
  const std::optional<TVerb> verb = filetype::VerbDialogSeam(request);
  if (!verb) return;
  // Own verbs stay ahead of those Windows adds.
  const auto end = std::find_if(edited_.Verbs.begin(), edited_.Verbs.end(),
                                [](const TVerb& v) { return v.Source != TVerbSource::Type; });
  const auto added = edited_.Verbs.insert(end, *verb);
  added->Source = TVerbSource::Type;
  added->Original.clear();
  ShowLists();
  SelectVerb(static_cast<int>(added - edited_.Verbs.begin()));
}

int TFormFileType::VerbToChange(bool editing) {
  const int selected = SelectedVerb();
  const wchar_t* why = nullptr;
  if (selected < 0) {
    why = texts::kSelectVerb;
  } else if (edited_.Verbs[selected].Source != TVerbSource::Type) {
    why = texts::kSystemVerb;
  } else if (editing && edited_.Verbs[selected].Delegated) {
    why = texts::kDelegatedVerb;
  } else if (editing && (common::TooLong(common::LimitedField::Command, edited_.Verbs[selected].Command) ||
                         common::TooLong(common::LimitedField::FileType, edited_.Verbs[selected].Caption))) {
    why = texts::kVerbTooLongToEdit;
  }
  if (!why) return selected;
  ui::ShowMessageBox(Handle(), ui::BoxKind::Information, why);
  return -1;
}

void TFormFileType::EditVerb() {
  const int selected = VerbToChange(true);
  if (selected < 0) return;
  const TVerb& verb = edited_.Verbs[selected];
  filetype::TVerbRequest request{Handle(), false, verb, OtherVerbNames(selected)};
  const std::optional<TVerb> changed = filetype::VerbDialogSeam(request);
  if (!changed) return;
  const std::wstring oldName = edited_.Verbs[selected].Name;
  edited_.Verbs[selected] = *changed;
  // The default follows a renamed verb.
  if (assoc::SameKeyName(edited_.DefaultVerb, oldName)) edited_.DefaultVerb = changed->Name;
  ShowLists();
  SelectVerb(selected);
}

void TFormFileType::DeleteVerb() {
  const int selected = VerbToChange(false);
  if (selected < 0) return;
  if (assoc::SameKeyName(edited_.DefaultVerb, edited_.Verbs[selected].Name)) edited_.DefaultVerb.clear();
  edited_.Verbs.erase(edited_.Verbs.begin() + selected);
  ShowLists();
  SelectVerb(std::min(selected, static_cast<int>(edited_.Verbs.size()) - 1));
}

void TFormFileType::MakeDefaultVerb() {
  const int selected = VerbToChange(false);
  if (selected < 0) return;
  edited_.DefaultVerb = edited_.Verbs[selected].Name;
  ShowLists();
}

void TFormFileType::DeleteOpenWith() {
  const int selected = SelectedOpenWith();
  if (selected < 0) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Information, texts::kSelectOpenWith);
    return;
  }
  edited_.OpenWith.erase(edited_.OpenWith.begin() + selected);
  ShowLists();
  SelectOpenWith(std::min(selected, static_cast<int>(edited_.OpenWith.size()) - 1));
}

void TFormFileType::BrowseIcon() {
  const std::wstring icon = EditIcon.Text();
  const size_t comma = icon.rfind(L',');
  TFormIconList picker(Handle(), Dpi());
  picker.SetIconFile(assoc::ExpandEnvironment(comma == std::wstring::npos ? icon : icon.substr(0, comma)),
                     comma == std::wstring::npos ? 0 : common::StrToIntDef(icon.substr(comma + 1), 0));
  if (picker.ShowModal() != ui::mrOk) return;
  EditIcon.SetText(picker.GetIconFile() + L"," + common::IntToStr(picker.GetIconIndex()));
}

bool TFormFileType::Apply() {
  assoc::TChangePlan plan;
  try {
    plan = assoc::PlanFileTypeEdit(before_, Edited());
  } catch (const Exception& e) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, e.Message());
    return false;
  }
  if (plan.Steps.empty()) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Information, texts::kNothingToApply);
    return true;
  }
  const ui::ChangeRunner runner(Handle(), nullptr, [this] {
    // The window shows what the registry holds now; the other windows read it again too. A
    // change that failed and was put back changed nothing, so the edits stay.
    try {
      before_ = assoc::ReadFileType(before_.Target);
    } catch (const Exception&) {
    }
    Load();
    if (OnApplied) OnApplied();
  });
  const common::TOutcome outcome = runner.Run(
      assoc::RequestPlannedChange(std::move(plan), texts::ApplyQuestion(before_), texts::kApplied));
  return outcome.Result == common::TResult::Done;
}

void TFormFileType::OnCommand(int id) {
  switch (id) {
    case IDC_BTN_APPLY:
      Apply();
      return;
    case IDC_BTN_CLOSE:
      Close();
      return;
    case IDC_BTN_HELP:
      ui::Application::Instance().HelpContext(Handle(), kHelpContext);
      return;
    default:
      break;
  }
  for (const Command& c : kCommands)
    if (c.id == id) return (this->*c.execute)();
}

bool TFormFileType::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.hwnd == VerbList()) {
    if (msg.wParam == VK_RETURN) {
      EditVerb();
      return true;
    }
    if (msg.wParam == VK_DELETE) {
      DeleteVerb();
      return true;
    }
  }
  if (msg.message == WM_KEYDOWN && msg.hwnd == OpenWithList() && msg.wParam == VK_DELETE) {
    DeleteOpenWith();
    return true;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1) {
    OnCommand(IDC_BTN_HELP);
    return true;
  }
  return Form::PreTranslateMessage(msg);
}

LRESULT TFormFileType::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = POINT{Scale(kMinimumSize.cx), Scale(kMinimumSize.cy)};
      return 0;
    }
    case WM_CLOSE:
      if (Modified()) {
        const int answer = ui::ShowMessageBox(Handle(), ui::BoxKind::Confirmation, texts::kCloseQuestion,
                                              ui::BoxButtons::YesNoCancel);
        if (answer == ui::mrCancel || (answer == ui::mrYes && !Apply())) return 0;
      }
      break;
    default:
      break;
  }
  return Form::HandleMessage(msg, wParam, lParam);
}

LRESULT TFormFileType::OnNotify(NMHDR* header) {
  const bool verbs = header->hwndFrom == VerbList();
  if (!verbs && header->hwndFrom != OpenWithList()) return Form::OnNotify(header);
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
      if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0 || item.iItem < 0) return 0;
      std::wstring text;
      if (verbs && static_cast<size_t>(item.iItem) < edited_.Verbs.size()) {
        text = texts::VerbCell(edited_.Verbs[item.iItem], item.iSubItem, shownDefault_, edited_);
      } else if (!verbs && static_cast<size_t>(item.iItem) < edited_.OpenWith.size()) {
        text = texts::OpenWithCell(edited_.OpenWith[item.iItem], item.iSubItem);
      }
      lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
      return 0;
    }
    case LVN_ITEMACTIVATE:
      if (verbs) EditVerb();
      return 0;
    default:
      return 0;
  }
}
