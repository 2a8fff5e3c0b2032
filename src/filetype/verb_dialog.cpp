#include "filetype/verb_dialog.h"

#include <commdlg.h>

#include "common/field_limits.h"
#include "filetype/file_type_texts.h"
#include "resource.h"
#include "ui/message_box.h"

namespace filetype {

namespace {

using assoc::TVerb;
using ui::akLeft;
using ui::akRight;
using ui::akTop;
using Kind = ui::ControlKind;
using Form = TFormVerb;

constexpr ui::FormDef kForm = {
    texts::kVerbTitleEdit, 440, 176, 0, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN,
    0, 0, 0, true, ui::FormPosition::OwnerCenter, Form::IDC_EDIT_NAME,
};

constexpr ui::ControlDef kControls[] = {
    {Form::IDC_LABEL_NAME, Kind::AccessLabel, {8, 12, 88, 13}, akLeft | akTop, L"名前(&N)"},
    {Form::IDC_EDIT_NAME, Kind::Edit, {100, 8, 332, 21}, akLeft | akTop | akRight, nullptr,
     L"動作のキーの名前です (open、edit、print など)。半角の英字、数字、「_」、「-」が使えます。"},
    {Form::IDC_LABEL_CAPTION, Kind::AccessLabel, {8, 40, 88, 13}, akLeft | akTop, L"表示名(&T)"},
    {Form::IDC_EDIT_CAPTION, Kind::Edit, {100, 36, 332, 21}, akLeft | akTop | akRight, nullptr,
     L"右クリックのメニューに表示する名前です。空のときは名前を表示します。"},
    {Form::IDC_LABEL_COMMAND, Kind::AccessLabel, {8, 68, 88, 13}, akLeft | akTop, L"コマンド(&C)"},
    {Form::IDC_EDIT_COMMAND, Kind::Edit, {100, 64, 246, 21}, akLeft | akTop | akRight, nullptr,
     L"実行するコマンドです。\"%1\" が開くファイルに置き換わります。"},
    {Form::IDC_BTN_BROWSE, Kind::Button, {352, 63, 80, 23}, akTop | akRight, L"参照(&B)...",
     L"実行するプログラムを選びます。"},
    {Form::IDC_CHECK_EXTENDED, Kind::Button, {100, 94, 332, 19}, akLeft | akTop,
     L"Shift キーを押しながら右クリックしたときだけ表示する(&S)", L"値「Extended」を設定します。", 0, 0,
     BS_AUTOCHECKBOX},
    {Form::IDC_BTN_OK, Kind::DefaultButton, {268, 140, 75, 25}, akRight | akTop, L"OK", L"入力した内容で動作を決めます。",
     0, IDI_GLYPH_OK},
    {Form::IDC_BTN_CANCEL, Kind::Button, {349, 140, 83, 25}, akRight | akTop, L"キャンセル",
     L"入力した内容を破棄して戻ります。", 0, IDI_GLYPH_CANCEL},
};

std::optional<TVerb> ShowVerbDialog(const TVerbRequest& request) { return ShowRealVerbDialog(request); }

}  // namespace

common::Seam<std::optional<TVerb>(const TVerbRequest&)> VerbDialogSeam(&ShowVerbDialog);

std::wstring VerbProblem(const TVerb& verb, const std::vector<std::wstring>& otherNames) {
  // A verb keeps the name it has, whatever Windows let it be called.
  const bool named = !verb.Original.empty() && verb.Name == verb.Original;
  if (std::wstring problem = named ? L"" : assoc::VerbNameProblem(verb.Name, otherNames); !problem.empty()) return problem;
  if (verb.Command.empty()) return texts::kCommandMissing;
  if (common::TooLong(common::LimitedField::Command, verb.Command) ||
      common::TooLong(common::LimitedField::FileType, verb.Caption))
    return texts::kVerbTooLong;
  return {};
}

TFormVerb::TFormVerb(const TVerbRequest& request, int dpi)
    : Form(dpi),
      OpenDialogApp(ui::FileDialog::Kind::Open, L"実行プログラム (*.exe)|*.exe|すべてのファイル(*.*)|*.*", L"exe",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING),
      request_(request) {
  CreateForm(request.owner, kForm, kControls, {}, {});
  SetWindowTextW(Handle(), request.adding ? texts::kVerbTitleAdd : texts::kVerbTitleEdit);
  Bind(IDC_EDIT_NAME, EditName);
  Bind(IDC_EDIT_CAPTION, EditCaption);
  Bind(IDC_EDIT_COMMAND, EditCommand);
  EditName.SetText(request.verb.Name);
  EditCaption.SetText(request.verb.Caption);
  EditCommand.SetText(request.verb.Command);
  CheckDlgButton(Handle(), IDC_CHECK_EXTENDED, request.verb.Extended ? BST_CHECKED : BST_UNCHECKED);
}

TVerb TFormVerb::Verb() const {
  TVerb verb = request_.verb;
  verb.Name = EditName.Text();
  verb.Caption = EditCaption.Text();
  verb.Command = EditCommand.Text();
  verb.Extended = IsDlgButtonChecked(Handle(), IDC_CHECK_EXTENDED) == BST_CHECKED;
  return verb;
}

void TFormVerb::Accept() {
  if (const std::wstring problem = VerbProblem(Verb(), request_.otherNames); !problem.empty()) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, problem);
    return;
  }
  SetModalResult(ui::mrOk);
}

void TFormVerb::Browse() {
  if (!OpenDialogApp.Execute(Handle())) return;
  EditCommand.SetText(L"\"" + OpenDialogApp.FileName + L"\" \"%1\"");
}

void TFormVerb::OnCommand(int id) {
  switch (id) {
    case IDC_BTN_OK:
      Accept();
      break;
    case IDC_BTN_CANCEL:
      SetModalResult(ui::mrCancel);
      break;
    case IDC_BTN_BROWSE:
      Browse();
      break;
    default:
      break;
  }
}

std::optional<TVerb> ShowRealVerbDialog(const TVerbRequest& request) {
  TFormVerb form(request, ui::SystemDpi());
  if (form.ShowModal() != ui::mrOk) return std::nullopt;
  return form.Verb();
}

}  // namespace filetype
