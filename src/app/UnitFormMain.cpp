#include "app/UnitFormMain.h"

#include <commdlg.h>

#include <array>

#include "about/UnitFormAboutBox.h"
#include "assoc/assoc_labels.h"
#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/change_requests.h"
#include "assoc/change_preview.h"
#include "assoc/link_extention.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/safety.h"
#include "assoc/shell_assoc.h"
#include "assoc/user_override.h"
#include "assoclist/UnitFormAssocList.h"
#include "filetype/UnitFormFileType.h"
#include "common/cursor.h"
#include "common/exception.h"
#include "common/field_limits.h"
#include "common/icons.h"
#include "common/text.h"
#include "iconpicker/UnitFormIconList.h"
#include "resource.h"
#include "settings/file_access.h"
#include "ui/application.h"
#include "ui/image_list.h"
#include "ui/message_box.h"
#include "ui/owned_windows.h"
#include "ui/change_runner.h"
#include "ui/windows_chooser.h"

namespace {

using ui::akBottom;
using ui::akLeft;
using ui::akRight;
using ui::akTop;
using Kind = ui::ControlKind;

constexpr ui::Action kActions[] = {
    {IDM_APP_SELECT, L"参照", L"実行するプログラムを選択します。", 0},
    {IDM_ICON_SELECT, L"参照", L"アイコンの選択を行う「アイコン選択画面」を表示します。", 3},
    {IDM_EXT_LINK, L"関連づけの登録", L"入力された内容で、関連づけの情報をレジストリに登録します。", 1},
    {IDM_EXT_UNLINK, L"関連づけの削除", L"「拡張子」欄に入力された拡張子の情報をレジストリから削除します。", 2},
    {IDM_EXT_RELOAD, L"関連づけの読み込み", L"「拡張子」欄に入力された拡張子の情報を読み込みます。", 4},
    {IDM_HELP_SHOW, L"ヘルプ", L"ヘルプを表示します。", 5},
    {IDM_ABOUT_VERSION, L"バージョン情報(&V)", L"バージョン情報を表示します。", -1},
    {IDM_FILE_NEW, L"新規作成(&N)", L"新しい設定を作成します。", 6},
    {IDM_FILE_OPEN, L"開く(&O)", L"設定をファイルから読み込みます。", 0},
    {IDM_FILE_SAVE_AS, L"名前をつけて保存(&A)", L"設定をファイルに名前をつけて保存します。", -1},
    {IDM_FILE_SAVE, L"上書き保存(&S)", L"設定をファイルに上書き保存します。", 1},
    {IDM_FILE_CLOSE, L"閉じる(&X)", L"ソフトウェアを終了します。", -1},
    {IDM_FILE_UNDO, L"元に戻す(&U)", L"最後に行った関連づけの変更を、変更の前の状態に戻します。", -1},
    {IDM_FILE_REDO, L"やり直し(&Y)", L"元に戻した関連づけの変更を、もう一度行います。", -1},
    {IDM_FILE_RESTORE, L"バックアップから復元(&R)...", L"選択したバックアップファイルから、関連づけを復元します。", -1},
    {IDM_ASSOC_LIST, L"関連づけの一覧(&L)", L"登録されているすべての拡張子の関連づけを一覧で表示します。", -1},
};

// The commands this window carries out, by command id.
struct Command {
  int id;
  void (TFormMain::*execute)();
};
constexpr Command kCommands[] = {
    {IDM_APP_SELECT, &TFormMain::ActionAppSelectExecute},
    {IDM_ICON_SELECT, &TFormMain::ActionIconSelectExecute},
    {IDM_EXT_LINK, &TFormMain::ActionExtLinkExecute},
    {IDM_EXT_UNLINK, &TFormMain::ActionExtUnlinkExecute},
    {IDM_EXT_RELOAD, &TFormMain::ActionExtReloadExecute},
    {IDM_HELP_SHOW, &TFormMain::ActionHelpShowExecute},
    {IDM_ABOUT_VERSION, &TFormMain::ActionAboutVersionExecute},
    {IDM_FILE_NEW, &TFormMain::ActionFileNewExecute},
    {IDM_FILE_OPEN, &TFormMain::ActionFileOpenExecute},
    {IDM_FILE_SAVE_AS, &TFormMain::ActionFileSaveAsExecute},
    {IDM_FILE_SAVE, &TFormMain::ActionFileSaveExecute},
    {IDM_FILE_CLOSE, &TFormMain::ActionFileCloseExecute},
    {IDM_FILE_UNDO, &TFormMain::ActionFileUndoExecute},
    {IDM_FILE_REDO, &TFormMain::ActionFileRedoExecute},
    {IDM_FILE_RESTORE, &TFormMain::ActionFileRestoreExecute},
    {IDM_ASSOC_LIST, &TFormMain::ActionAssocListExecute},
    {IDM_FILE_TYPE_DETAILS, &TFormMain::ActionFileTypeExecute},
    {TFormMain::IDC_BTN_HELP, &TFormMain::BtnHelpClick},
};

// The menu bar takes the design rows 0 to 23; the window's client area starts below it.
constexpr int kMenuBand = 23;

constexpr ui::FormDef kForm = {
    kApplicationTitle,
    426,
    292,
    kMenuBand,
    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
    0,
    IDR_MAINMENU,
    IDR_MAINACCEL,
    true,
    ui::FormPosition::ScreenCenter,
    TFormMain::IDC_EDIT_EXT,
};

constexpr wchar_t kExplorerNoteHint[] =
    L"エクスプローラーが実際に使うプログラムが、登録されている関連づけと異なることを示します。";

// Each label stands just above its field, left-aligned with it.
constexpr int kLabelAbove = 16;
constexpr int kLabelHeight = 13;

constexpr ui::ControlDef kControls[] = {
    {TFormMain::IDC_LABEL_EXT, Kind::Label, {8, 48 - kLabelAbove, 0, kLabelHeight}, akLeft | akTop, L"拡張子"},
    {TFormMain::IDC_EDIT_EXT, Kind::Edit, {8, 48, 121, 21}, akLeft | akTop, nullptr,
     L"関連づけを行う拡張子を入力して下さい。"},
    {TFormMain::IDC_SPEEDBUTTON3, Kind::SpeedButton, {128, 47, 129, 22}, akLeft | akTop, nullptr, nullptr,
     IDM_EXT_RELOAD},
    {TFormMain::IDC_LABEL_COMMAND, Kind::Label, {8, 91 - kLabelAbove, 0, kLabelHeight}, akLeft | akTop,
     L"実行プログラム"},
    {TFormMain::IDC_EDIT_COMMAND, Kind::Edit, {8, 91, 353, 21}, akLeft | akTop | akRight, nullptr,
     L"実行するプログラムを入力して下さい。"},
    {TFormMain::IDC_SPEEDBUTTON2, Kind::SpeedButton, {361, 91, 57, 22}, akTop | akRight, nullptr, nullptr,
     IDM_APP_SELECT},
    {TFormMain::IDC_LABEL_FILETYPE, Kind::Label, {8, 134 - kLabelAbove, 0, kLabelHeight}, akLeft | akTop,
     L"ファイルタイプの説明"},
    {TFormMain::IDC_EDIT_FILETYPE, Kind::Edit, {8, 134, 410, 21}, akLeft | akTop | akRight, nullptr,
     L"ファイルタイプの説明を入力して下さい。"},
    {TFormMain::IDC_IMAGE_ICON, Kind::Image, {8, 171, 32, 32}, akLeft | akTop},
    {TFormMain::IDC_LABEL_ICONFILE, Kind::Label, {46, 182 - kLabelAbove, 0, kLabelHeight}, akLeft | akTop,
     L"アイコンファイル"},
    {TFormMain::IDC_EDIT_ICONFILE, Kind::Edit, {46, 182, 252, 21}, akLeft | akTop | akRight, nullptr,
     L"アイコンファイルの場所を表示します。", 0, 0, ES_READONLY},
    {TFormMain::IDC_LABEL_ICONINDEX, Kind::Label, {304, 182 - kLabelAbove, 0, kLabelHeight}, akTop | akRight,
     L"アイコン番号"},
    {TFormMain::IDC_EDIT_ICONINDEX, Kind::Edit, {304, 182, 57, 21}, akTop | akRight, nullptr,
     L"アイコンファイル中のアイコンの番号を表示します。", 0, 0, ES_READONLY | ES_NUMBER},
    {TFormMain::IDC_SPEEDBUTTON1, Kind::SpeedButton, {361, 181, 57, 22}, akTop | akRight, nullptr, nullptr,
     IDM_ICON_SELECT},
    // Below the fields, hidden until a read-back finds that Explorer does not follow the records.
    {TFormMain::IDC_EXPLORER_ICON, Kind::Image, {8, 208, 16, 16}, akLeft | akTop, nullptr, kExplorerNoteHint},
    {TFormMain::IDC_EXPLORER_NOTE, Kind::Label, {28, 210, 390, 13}, akLeft | akTop | akRight, L"", kExplorerNoteHint,
     0, 0, SS_NOTIFY | SS_ENDELLIPSIS},
    {TFormMain::IDC_BTN_HELP, Kind::Button, {8, 232, 75, 25}, akLeft | akBottom, L"ヘルプ(&H)",
     L"ヘルプを表示します。", 0, IDI_GLYPH_HELP},
    {TFormMain::IDC_BITBTN1, Kind::Button, {105, 232, 113, 25}, akRight | akBottom, nullptr, nullptr, IDM_EXT_LINK},
    {TFormMain::IDC_BITBTN3, Kind::Button, {224, 232, 113, 25}, akRight | akBottom, nullptr, nullptr,
     IDM_EXT_UNLINK},
    {TFormMain::IDC_BITBTN2, Kind::Button, {343, 232, 75, 25}, akRight | akBottom, nullptr, nullptr, IDM_FILE_CLOSE,
     IDI_GLYPH_CLOSE},
    {TFormMain::IDC_STATUSBAR, Kind::StatusBar, {0, 273, 426, 19}, akLeft | akRight | akBottom},
};

constexpr std::array<int, IMAGE_COUNT> kImages = {IDI_IMAGE_OPEN, IDI_IMAGE_SAVE,   IDI_IMAGE_DELETE, IDI_IMAGE_FIND,
                                                  IDI_IMAGE_RELOAD, IDI_IMAGE_HELP, IDI_IMAGE_NEW};

constexpr COLORREF kWhite = RGB(255, 255, 255);

constexpr wchar_t kIniFilter[] = L"設定ファイル(*.INI)|*.INI|すべてのファイル(*.*)|*.*";

void Warn(HWND owner, const std::wstring& text) { ui::ShowMessageBox(owner, ui::BoxKind::Warning, text); }

bool IsEditField(HWND hwnd) {
  wchar_t name[8] = {};
  return GetClassNameW(hwnd, name, 8) && _wcsicmp(name, WC_EDITW) == 0;
}

}  // namespace

TFormMain::TFormMain(int dpi)
    : Form(dpi),
      OpenDialogApp(ui::FileDialog::Kind::Open, L"実行プログラム (*.exe)|*.exe|すべてのファイル(*.*)|*.*", L"exe",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING),
      OpenDialogIni(ui::FileDialog::Kind::Open, kIniFilter, L"INI",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_ENABLESIZING),
      SaveDialogIni(ui::FileDialog::Kind::Save, kIniFilter, L"INI",
                    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING),
      OpenDialogBackup(ui::FileDialog::Kind::Open, L"バックアップファイル(*.reg)|*.reg|すべてのファイル(*.*)|*.*", L"reg",
                       OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_ENABLESIZING) {
  auto& app = ui::Application::Instance();
  CreateForm(nullptr, kForm, kControls, kActions, ui::LoadIconList(kImages, Scale(16)));
  Bind(IDC_EDIT_EXT, EditExt);
  Bind(IDC_EDIT_COMMAND, EditCommand);
  Bind(IDC_EDIT_FILETYPE, EditFileType);
  Bind(IDC_EDIT_ICONFILE, EditIconFile);
  Bind(IDC_EDIT_ICONINDEX, EditIconIndex);
  SetWindowTextW(Handle(), app.Title().c_str());
  app.SetHelpFile(common::ChangeFileExt(common::ModuleFileName(), L".chm"));
  PictureOf(IDC_EXPLORER_ICON).Fill(GetSysColor(COLOR_BTNFACE));
  EnableWindow(Item(IDC_EXPLORER_ICON), FALSE);
  EnableWindow(Item(IDC_EXPLORER_NOTE), FALSE);
  NewSetting();
  // Says from the start whose associations these are, when they are not the tool's own account's.
  ShowExplorerNote({});
  app.SetOnIdle([this] { ApplicationIdle(); }, this);
}

TFormMain::~TFormMain() { ui::Application::Instance().RemoveOnIdle(this); }

void TFormMain::OnCommand(int id) {
  for (const Command& c : kCommands)
    if (c.id == id) return (this->*c.execute)();
}

LRESULT TFormMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && reinterpret_cast<HWND>(lParam) == EditExt.Handle())
    EditExtChange();
  return Form::HandleMessage(msg, wParam, lParam);
}

bool TFormMain::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.hwnd == EditExt.Handle()) {
    WORD key = static_cast<WORD>(msg.wParam);
    EditExtKeyDown(key);
    if (key == 0) return true;
  }
  // Ctrl+Z in a field with typing to undo undoes that typing, as in Explorer's rename field; the
  // registry's undo takes Ctrl+Z everywhere else.
  if (msg.message == WM_KEYDOWN && msg.wParam == 'Z' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0 &&
      IsEditField(msg.hwnd) && SendMessageW(msg.hwnd, EM_CANUNDO, 0, 0))
    return false;
  return Form::PreTranslateMessage(msg);
}

void TFormMain::NewSetting() {
  SetSettingFileName(L"");
  EditExt.SetText(L"");
  EditCommand.SetText(L"");
  EditFileType.SetText(L"");
  EditIconFile.SetText(L"");
  EditIconIndex.SetText(L"0");
  OpenDialogApp.FileName.clear();
  OpenDialogIni.FileName.clear();
  SaveDialogIni.FileName.clear();
  OpenDialogBackup.FileName.clear();
  PictureOf(IDC_IMAGE_ICON).Fill(kWhite);
  InvalidateRect(Item(IDC_IMAGE_ICON), nullptr, FALSE);
  ShowExplorerNote({});
}

void TFormMain::SetSettingFileName(const std::wstring& name) {
  if (name == FSettingFileName) return;
  FSettingFileName = name;
  std::wstring caption = ui::Application::Instance().Title();
  if (!name.empty()) caption += L" - " + common::ExtractFileName(name);
  SetWindowTextW(Handle(), caption.c_str());
}

void TFormMain::DrawIconPreview(const std::wstring& IconFile, int IconIndex) {
  ui::Picture& preview = PictureOf(IDC_IMAGE_ICON);
  preview.Fill(kWhite);
  if (auto icon = common::ExtractIconFrom(IconFile, IconIndex)) DrawIcon(preview.Canvas(), 0, 0, icon.get());
  InvalidateRect(Item(IDC_IMAGE_ICON), nullptr, FALSE);
}

const ui::Picture& TFormMain::ImageIcon() const { return PictureOf(IDC_IMAGE_ICON); }

const ui::Picture& TFormMain::ExplorerSign() const { return PictureOf(IDC_EXPLORER_ICON); }

void TFormMain::EditExtKeyDown(WORD& Key) {
  if (Key != VK_RETURN) return;
  ActionExtReloadExecute();
  Key = 0;
}

void TFormMain::EditExtChange() { ShowExplorerNote({}); }

void TFormMain::ShowExplorerNote(const assoc::EffectiveAssociation& Association) {
  std::wstring text = assoc::ExplorerNoteText(Association);
  // Whose associations these are, when they are not those of the account the tool runs as.
  const assoc::TTargetAccount target = assoc::TargetAccount();
  if (!target.Self) {
    wchar_t name[257] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    const std::wstring runningAs = GetUserNameW(name, &size) ? name : L"";
    text = assoc::TargetNote(target, runningAs) + (text.empty() ? L"" : L"\n" + text);
  }
  if (text == FExplorerNote) return;
  FExplorerNote = text;
  // The band stays in place and shows nothing while there is no note: showing and hiding windows
  // costs Wine a few milliseconds each. Disabled, its empty parts show no hint.
  const HWND note = Item(IDC_EXPLORER_NOTE), icon = Item(IDC_EXPLORER_ICON);
  SetWindowTextW(note, text.c_str());
  EnableWindow(note, !text.empty());
  EnableWindow(icon, !text.empty());
  ui::Picture& sign = PictureOf(IDC_EXPLORER_ICON);
  sign.Fill(GetSysColor(COLOR_BTNFACE));
  if (!text.empty()) {
    // A shared system icon: not destroyed.
    const auto warning =
        static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, sign.Width(), sign.Height(), LR_SHARED));
    DrawIconEx(sign.Canvas(), 0, 0, warning, sign.Width(), sign.Height(), 0, nullptr, DI_NORMAL);
  }
  InvalidateRect(icon, nullptr, FALSE);
}

std::wstring TFormMain::ExplorerNote() const { return FExplorerNote; }

std::wstring TFormMain::GetExtention() const {
  std::wstring text = EditExt.Text();
  if (!text.empty() && text.front() == L'.') return text;
  return L"." + text;
}

void TFormMain::DoExtLink() {
  // The fields as they are now: nothing typed or opened while a question is up changes what is
  // registered.
  Run(assoc::RequestRegister({GetExtention(), EditCommand.Text(), EditFileType.Text(), EditIconFile.Text(),
                              EditIconIndex.Text()}),
      false);
}

void TFormMain::DoExtUnlink() { Run(assoc::RequestDelete(GetExtention()), false); }

void TFormMain::ActionAppSelectExecute() {
  if (!OpenDialogApp.Execute(Handle())) return;
  EditCommand.SetText(L"\"" + OpenDialogApp.FileName + L"\" \"%1\"");
}

void TFormMain::ActionIconSelectExecute() {
  TFormIconList picker(Handle(), Dpi());
  picker.SetIconFile(EditIconFile.Text(), common::StrToIntDef(EditIconIndex.Text(), 0));
  if (picker.ShowModal() != ui::mrOk) return;
  EditIconFile.SetText(picker.GetIconFile());
  EditIconIndex.SetText(common::IntToStr(picker.GetIconIndex()));
  DrawIconPreview(EditIconFile.Text(), picker.GetIconIndex());
}

void TFormMain::ActionExtLinkExecute() { DoExtLink(); }

void TFormMain::ActionExtUnlinkExecute() { DoExtUnlink(); }

void TFormMain::ActionExtReloadExecute() {
  const std::wstring extension = GetExtention();
  const assoc::TClassicRecord record = assoc::ReadClassicRecord(extension);
  ShowRecord(extension, record.Command, record.FileType, record.Icon);
}

void TFormMain::ShowRecord(const std::wstring& extension, const std::wstring& command, const std::wstring& fileType,
                           const TLinkExtention::TIconInfo& icon) {
  // A value no field can use (an edit control shows a very long line in quadratic time) is
  // reported instead of shown, and the fields stay as they were.
  const struct {
    const std::wstring& value;
    common::LimitedField field;
    const wchar_t* label;
  } read[] = {{command, common::LimitedField::Command, L"実行プログラム"},
              {fileType, common::LimitedField::FileType, L"ファイルタイプの説明"},
              {icon.IconFile, common::LimitedField::IconFile, L"アイコンファイル"}};
  for (const auto& r : read) {
    if (!common::TooLong(r.field, r.value)) continue;
    Warn(Handle(), L"レジストリの「" + std::wstring(r.label) + L"」が " + std::to_wstring(common::MaxLength(r.field)) +
                       L" 文字を超えているため、読み込みませんでした。");
    ShowExplorerNote({});
    return;
  }
  EditCommand.SetText(command);
  EditFileType.SetText(fileType);
  EditIconFile.SetText(icon.IconFile);
  EditIconIndex.SetText(common::IntToStr(icon.IconIndex));
  DrawIconPreview(icon.IconFile, icon.IconIndex);
  ShowExplorerNote(assoc::ExplorerMayDiffer(extension) ? assoc::ResolveAssociation(extension)
                                                       : assoc::EffectiveAssociation{});
}

void TFormMain::ActionHelpShowExecute() { ui::Application::Instance().HelpContents(Handle()); }

void TFormMain::ActionAboutVersionExecute() {
  TFormAboutBox box(Handle(), Dpi());
  box.ShowModal();
}

void TFormMain::ActionFileNewExecute() { NewSetting(); }

void TFormMain::ActionFileCloseExecute() { Close(); }

void TFormMain::ActionFileUndoExecute() { StepThroughHistory(false); }

void TFormMain::ActionFileRedoExecute() { StepThroughHistory(true); }

void TFormMain::StepThroughHistory(bool Redo) {
  common::TChangeRequest request;
  {
    const ui::OwnedWindowsDisabled quiet(Handle());
    TCursorHourGlass busy;
    const assoc::TTick tick = Ticking();
    request = Redo ? assoc::RequestRedo(tick) : assoc::RequestUndo(tick);
  }
  SetRestingStatus(L"");
  Run(request, true);
}

void TFormMain::ActionFileRestoreExecute() {
  std::wstring file;
  {
    const ui::OwnedWindowsDisabled quiet(Handle());
    const std::wstring folder = assoc::BackupFolder();
    OpenDialogBackup.InitialDir = GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES ? L"" : folder;
    if (!OpenDialogBackup.Execute(Handle())) return;
    file = OpenDialogBackup.FileName;
  }
  RestoreFile(file);
}

void TFormMain::RestoreFile(const std::wstring& FileName) {
  common::TChangeRequest request;
  {
    const ui::OwnedWindowsDisabled quiet(Handle());
    TCursorHourGlass busy;
    request = assoc::RequestRestore(FileName, Ticking());
  }
  SetRestingStatus(L"");
  Run(request, true);
}

assoc::TTick TFormMain::Ticking() {
  return [this] {
    SetRestingStatus(assoc::texts::kPlanning);
    ui::PumpWaitingMessages();
  };
}

void TFormMain::Run(const common::TChangeRequest& Request, bool ReadBack) {
  // What the note said about the extension may no longer hold.
  if (ReadBack) ShowExplorerNote({});
  const ui::ChangeRunner runner(
      Handle(), [this](const std::wstring& text) { SetRestingStatus(text); },
      [this, ReadBack] {
        AssociationsChanged();
        if (!ReadBack) {
          ShowExplorerNote(assoc::ResolveAssociation(GetExtention()));
        } else if (!EditExt.Text().empty()) {
          // The fields show the registry again, so that a register does not write back what was
          // undone; read without creating keys, as the read-back does.
          ActionExtReloadExecute();
        }
      });
  const common::TOutcome outcome = runner.Run(Request);
  if (outcome.Focus == assoc::kExtensionField) EditExt.SetFocus();
  if (outcome.Focus == assoc::kCommandField) EditCommand.SetFocus();
}

void TFormMain::ActionAssocListExecute() {
  if (FAssocList && FAssocList->Handle()) {
    FAssocList->Activate();
    return;
  }
  FAssocList = std::make_unique<ui::Modeless<TFormAssocList>>(Handle(), Dpi());
  FAssocList->OnOpenExtension = [this](const std::wstring& extension) {
    EditExt.SetText(extension);
    ActionExtReloadExecute();
    SetForegroundWindow(Handle());
  };
  FAssocList->OnOpenDetails = [this](const std::wstring& key, bool protocol) { OpenFileType(key, protocol); };
  FAssocList->OnChanged = [this] {
    AssociationsChanged();
    if (!EditExt.Text().empty()) ShowExplorerNote(assoc::ResolveAssociation(GetExtention()));
  };
  FAssocList->Show();
}

void TFormMain::ActionFileTypeExecute() {
  const std::wstring extension = GetExtention();
  if (extension == L".") {
    Warn(Handle(), L"拡張子を入力して下さい。");
    EditExt.SetFocus();
    return;
  }
  OpenFileType(extension, false);
}

void TFormMain::OpenFileType(const std::wstring& name, bool protocol) {
  std::erase_if(FFileTypes, [](const auto& open) { return !open.second->Handle(); });
  // One window per file type: extensions that name the same type share it.
  const std::wstring type = protocol ? std::wstring() : assoc::FileTypeKeyOf(name);
  const std::wstring key = protocol                                            ? L"p:" + assoc::FoldName(name)
                           : !type.empty() && type.find(L'\\') == std::wstring::npos ? L"t:" + assoc::FoldName(type)
                                                                               : L"e:" + assoc::FoldName(name);
  if (const auto open = FFileTypes.find(key); open != FFileTypes.end()) {
    open->second->Activate();
    return;
  }
  std::unique_ptr<TFormFileType> window;
  try {
    TCursorHourGlass busy;
    window = std::make_unique<ui::Modeless<TFormFileType>>(Handle(), assoc::TTypeTarget{protocol, name}, Dpi());
  } catch (const Exception& e) {
    Warn(Handle(), e.Message());
    return;
  }
  window->OnApplied = [this] { AssociationsChanged(); };
  window->Show();
  FFileTypes.emplace(key, std::move(window));
}

void TFormMain::AssociationsChanged() {
  if (FAssocList && FAssocList->Handle()) FAssocList->Refresh();
  for (const auto& open : FFileTypes)
    if (open.second->Handle()) open.second->Reload();
}

void TFormMain::BtnHelpClick() { ui::Application::Instance().HelpContext(Handle(), 3); }
