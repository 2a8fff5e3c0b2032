// The association commands of the main window: read back, register and delete, with their
// checks, questions, messages and focus moves, on a sandboxed registry.
#include <windows.h>
#include <shlwapi.h>

#include "app_fixture.h"

namespace {

using testsupport::ReadValue;
using testsupport::WriteValue;

std::wstring Assoc(ASSOCSTR what, const wchar_t* extension) {
  wchar_t buffer[1024] = {};
  DWORD size = 1024;
  if (FAILED(AssocQueryStringW(0, what, extension, what == ASSOCSTR_COMMAND ? L"open" : nullptr, buffer, &size)))
    return L"<none>";
  return buffer;
}

void ExpectBox(const ui::BoxRequest& box, ui::BoxKind kind, const std::wstring& text,
               ui::BoxButtons buttons = ui::BoxButtons::Ok) {
  EXPECT_EQ(box.kind, kind);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, buttons);
  EXPECT_EQ(box.title, ui::BoxTitle(kind));
}

TEST_F(MainWindowTest, GetExtentionSuppliesTheDotAndNothingElse) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"txt", L".txt"}, {L".txt", L".txt"}, {L"TXT", L".TXT"}, {L"", L"."},
      {L".", L"."},      {L" ", L". "},      {L"..a", L"..a"},  {L"テキスト", L".テキスト"},
  };
  for (auto [typed, expected] : cases) {
    form->EditExt.SetText(typed);
    EXPECT_EQ(form->GetExtention(), expected);
    EXPECT_EQ(form->EditExt.Text(), typed);
  }
}

TEST_F(MainWindowTest, ReadBackFillsTheFieldsFromTheRegistry) {
  HKEY cr = HKEY_CLASSES_ROOT;
  WriteValue(cr, L".tvr", L"", REG_SZ, L"tvrfile");
  WriteValue(cr, L"tvrfile", L"", REG_SZ, L"Tavrelo test");
  WriteValue(cr, L"tvrfile\\Shell\\open\\command", L"", REG_SZ, L"\"C:\\x.exe\" \"%1\"");
  WriteValue(cr, L"tvrfile\\DefaultIcon", L"", REG_SZ, Shell32Path() + L",-102");
  form->SetSettingFileName(L"C:\\a.ini");

  form->EditExt.SetText(L"tvr");
  form->ActionExtReloadExecute();
  EXPECT_EQ(form->EditExt.Text(), L"tvr");
  EXPECT_EQ(form->EditCommand.Text(), L"\"C:\\x.exe\" \"%1\"");
  EXPECT_EQ(form->EditFileType.Text(), L"Tavrelo test");
  EXPECT_EQ(form->EditIconFile.Text(), Shell32Path());
  EXPECT_EQ(form->EditIconIndex.Text(), L"-102");
  EXPECT_EQ(form->SettingFileName(), L"C:\\a.ini");

  // An extension without association empties the fields; the index shows 0.
  form->EditExt.SetText(L".none");
  form->ActionExtReloadExecute();
  EXPECT_EQ(form->EditCommand.Text(), L"");
  EXPECT_EQ(form->EditFileType.Text(), L"");
  EXPECT_EQ(form->EditIconFile.Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"0");
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindowTest, ReadBackRefusesValuesLongerThanAFieldTakes) {
  const std::wstring limit(32767, L'x');
  struct Case {
    const wchar_t* path;
    std::wstring tooLong;
    std::wstring atLimit;
    const wchar_t* label;
  };
  const Case cases[] = {
      {L"tvrfile\\Shell\\open\\command", limit + L"x", limit, L"実行プログラム"},
      {L"tvrfile", limit + L"x", limit, L"ファイルタイプの説明"},
      {L"tvrfile\\DefaultIcon", limit + L"x,0", limit + L",0", L"アイコンファイル"},
  };
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrfile");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.label));
    Fill(L"tvr", L"kept command", L"kept type", L"kept.ico", L"7");
    WriteValue(HKEY_CLASSES_ROOT, c.path, L"", REG_SZ, c.tooLong);
    boxes.Then(ui::mrOk);
    form->ActionExtReloadExecute();
    auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), 1u);
    ExpectBox(shown[0], ui::BoxKind::Warning,
              L"レジストリの「" + std::wstring(c.label) + L"」が 32767 文字を超えているため、読み込みませんでした。");
    EXPECT_EQ(form->EditCommand.Text(), L"kept command");
    EXPECT_EQ(form->EditFileType.Text(), L"kept type");
    EXPECT_EQ(form->EditIconFile.Text(), L"kept.ico");
    EXPECT_EQ(form->EditIconIndex.Text(), L"7");

    // At the limit the value is read back.
    WriteValue(HKEY_CLASSES_ROOT, c.path, L"", REG_SZ, c.atLimit);
    form->ActionExtReloadExecute();
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(form->EditCommand.Text().size() + form->EditFileType.Text().size() + form->EditIconFile.Text().size(),
              32767u);
    RegDeleteKeyValueW(HKEY_CLASSES_ROOT, c.path, nullptr);
  }
}

TEST_F(MainWindowTest, EnterInTheExtensionFieldReadsBackAndIsConsumed) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrfile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrfile", L"", REG_SZ, L"from registry");
  form->EditExt.SetText(L"tvr");

  WORD key = VK_RETURN;
  form->EditExtKeyDown(key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(form->EditFileType.Text(), L"from registry");

  WORD other = 'A';
  form->EditFileType.SetText(L"kept");
  form->EditExtKeyDown(other);
  EXPECT_EQ(other, 'A');
  EXPECT_EQ(form->EditFileType.Text(), L"kept");

  // The real key-down, with Shift held, goes the same way and never reaches the field.
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  MSG enter{form->EditExt.Handle(), WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_TRUE(form->PreTranslateMessage(enter));
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(form->EditFileType.Text(), L"from registry");

  // Enter in another field does nothing.
  form->EditFileType.SetText(L"kept");
  MSG elsewhere{form->EditCommand.Handle(), WM_KEYDOWN, VK_RETURN, 0};
  form->PreTranslateMessage(elsewhere);
  ui::ProcessMessages();
  EXPECT_EQ(form->EditFileType.Text(), L"kept");
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindowTest, RegisterChecksTheFieldsInOrderAndMovesTheFocus) {
  struct Case {
    const wchar_t* ext;
    const wchar_t* command;
    const wchar_t* index;
    bool iconFile;  // shell32.dll, else a file without icons
    const wchar_t* message;
    int focus;  // 0: unchanged
  };
  const Case cases[] = {
      {L"", L"cmd", L"0", true, L"拡張子を入力して下さい。", TFormMain::IDC_EDIT_EXT},
      {L".", L"cmd", L"0", true, L"拡張子を入力して下さい。", TFormMain::IDC_EDIT_EXT},
      {L"txt", L"", L"0", true, L"実行プログラムを入力して下さい。", TFormMain::IDC_EDIT_COMMAND},
      {L"txt", L"cmd", L"-1", true, L"アイコンを選択して下さい。", 0},
      {L"txt", L"cmd", L"-102", true, L"アイコンを選択して下さい。", 0},
      {L"txt", L"cmd", L"abc", true, L"アイコンを選択して下さい。", 0},
      {L"txt", L"cmd", L"100000", true, L"アイコンを選択して下さい。", 0},
      {L"txt", L"cmd", L"0", false, L"アイコンを選択して下さい。", 0},
  };
  for (const Case& c : cases) {
    Fill(c.ext, c.command, L"", c.iconFile ? Shell32Path() : TextFilePath(), c.index);
    form->EditFileType.SetFocus();
    boxes.Then(ui::mrOk);
    form->DoExtLink();
    auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), 1u) << testing::PrintToString(std::wstring(c.message));
    ExpectBox(shown[0], ui::BoxKind::Warning, c.message);
    EXPECT_EQ(GetFocus(), c.focus ? form->Item(c.focus) : form->EditFileType.Handle());
  }
  EXPECT_EQ(testsupport::SubKeyCount(HKEY_CLASSES_ROOT, L""), 0) << "nothing was registered";

  // An empty icon file fails the icon check too, and blanks pass the command check.
  Fill(L"txt", L"  ", L"", L"", L"0");
  boxes.Then(ui::mrOk);
  form->DoExtLink();
  ExpectBox(boxes.Take().at(0), ui::BoxKind::Warning, L"アイコンを選択して下さい。");
}

TEST_F(MainWindowTest, RegisterAsksThenWritesWhatTheShellReadsBack) {
  Fill(L"tvr", L"\"C:\\Program Files\\x\\a.exe\" \"%1\"", L"", Shell32Path(), L"3");

  // Any answer but Yes leaves the registry alone.
  for (int answer : {ui::mrNo, ui::mrCancel}) {
    boxes.Then(answer);
    form->DoExtLink();
    auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), 1u);
    ExpectBox(shown[0], ui::BoxKind::Confirmation, L"拡張子「.tvr」の関連づけを登録します。\nよろしいですか？",
              ui::BoxButtons::YesNoCancel);
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  }

  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtLink();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  ExpectBox(shown[1], ui::BoxKind::Information, L"関連づけを登録しました。");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".tvr").text, L"tvrFile");
  EXPECT_EQ(Assoc(ASSOCSTR_COMMAND, L".tvr"), L"\"C:\\Program Files\\x\\a.exe\" \"%1\"");
  EXPECT_EQ(Assoc(ASSOCSTR_FRIENDLYDOCNAME, L".tvr"), L"tvrファイル");
  EXPECT_EQ(Assoc(ASSOCSTR_DEFAULTICON, L".tvr"), Shell32Path() + L",3");

  // The fields are as they were.
  EXPECT_EQ(form->EditExt.Text(), L"tvr");
  EXPECT_EQ(form->EditFileType.Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"3");
}

TEST_F(MainWindowTest, RegisterShowsTheStoresMessageInAWarning) {
  Fill(L"a\\b", L"cmd", L"", Shell32Path(), L"0");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtLink();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  ExpectBox(shown[1], ui::BoxKind::Warning, L"拡張子に間違いがあります。");
  EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L".a"));
}

TEST_F(MainWindowTest, DeleteAsksThenRemovesTheAssociation) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrfile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrfile\\Shell\\open\\command", L"", REG_SZ, L"x");

  form->EditExt.SetText(L"");
  form->EditExt.SetText(L".");
  form->EditCommand.SetFocus();
  boxes.Then(ui::mrOk);
  form->DoExtUnlink();
  ExpectBox(boxes.Take().at(0), ui::BoxKind::Warning, L"拡張子を入力して下さい。");
  EXPECT_TRUE(form->EditExt.Focused());

  Fill(L"tvr", L"", L"kept", L"", L"0");
  boxes.Then(ui::mrCancel);
  form->DoExtUnlink();
  ExpectBox(boxes.Take().at(0), ui::BoxKind::Confirmation, L"拡張子「.tvr」の関連づけを削除します。\nよろしいですか？",
            ui::BoxButtons::YesNoCancel);
  EXPECT_TRUE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L".tvr"));

  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  ExpectBox(shown[1], ui::BoxKind::Information, L"関連づけを削除しました。");
  EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L"tvrfile"));
  EXPECT_EQ(form->EditFileType.Text(), L"kept");

  // A refused extension is reported in a warning.
  form->EditExt.SetText(L"a\\b");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  ExpectBox(boxes.Take().at(1), ui::BoxKind::Warning, L"拡張子に間違いがあります。");
}

TEST_F(MainWindowTest, TheCommandsRunFromTheirButtonsAndMenuItems) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrfile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrfile", L"", REG_SZ, L"by button");
  form->EditExt.SetText(L"tvr");
  HWND reload = form->Item(TFormMain::IDC_SPEEDBUTTON3);
  TBBUTTON b{};
  SendMessageW(reload, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&b));
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(b.idCommand, BN_CLICKED), reinterpret_cast<LPARAM>(reload));
  EXPECT_EQ(form->EditFileType.Text(), L"by button");

  boxes.Then(ui::mrNo);
  SendMessageW(form->Item(TFormMain::IDC_BITBTN3), BM_CLICK, 0, 0);
  ui::ProcessMessages();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Confirmation);
}

}  // namespace
