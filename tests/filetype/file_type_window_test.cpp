// The file type window on a sandboxed registry: each edit once through the window, applied as one
// previewed change and undone, with the registry compared after both; what the policy refuses
// said before any question; closing with edits not applied; the real verb editor worked from
// another thread; and the window opened from the main window's menu and from the list.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <sstream>

#include "app/UnitFormMain.h"
#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/file_type_texts.h"
#include "assoc/store_fixture.h"
#include "assoclist/UnitFormAssocList.h"
#include "filetype/UnitFormFileType.h"
#include "filetype/file_type_texts.h"
#include "filetype/verb_dialog.h"
#include "resource.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"

namespace {

using assoc::TVerb;
using testsupport::CellOf;
using testsupport::ReadValue;
using testsupport::WriteValue;
using Id = TFormFileType::ControlId;

// Answers the verb editor from a script and records what it was asked.
class VerbScript {
 public:
  VerbScript()
      : scope_(filetype::VerbDialogSeam.Replace([this](const filetype::TVerbRequest& request) {
          requests_.push_back(request);
          if (answers_.empty()) {
            ADD_FAILURE() << "the verb editor was not expected";
            return std::optional<TVerb>();
          }
          std::optional<TVerb> answer = answers_.front()(request.verb);
          answers_.pop_front();
          return answer;
        })) {}
  // The next editor answers what change makes of the verb it shows.
  VerbScript& Then(std::function<std::optional<TVerb>(TVerb)> change) {
    answers_.push_back(std::move(change));
    return *this;
  }
  const std::vector<filetype::TVerbRequest>& Requests() const { return requests_; }

 private:
  std::deque<std::function<std::optional<TVerb>(TVerb)>> answers_;
  std::vector<filetype::TVerbRequest> requests_;
  common::Seam<std::optional<TVerb>(const filetype::TVerbRequest&)>::Scope scope_;
};

class FileTypeWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Ok());
    WriteValue(HKEY_CLASSES_ROOT, L".t", L"", REG_SZ, L"tfile");
    WriteValue(HKEY_CLASSES_ROOT, L"tfile", L"", REG_SZ, L"T 文書");
    WriteValue(HKEY_CLASSES_ROOT, L"tfile\\DefaultIcon", L"", REG_SZ, L"t.exe,0");
    WriteValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\open\\command", L"", REG_SZ, L"t.exe \"%1\"");
    WriteValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\print\\command", L"", REG_SZ, L"t.exe /p \"%1\"");
    WriteValue(HKEY_CLASSES_ROOT, L"tvr", L"URL Protocol", REG_SZ, L"");
    WriteValue(HKEY_CLASSES_ROOT, L"tvr\\shell\\open\\command", L"", REG_SZ, L"t.exe \"%1\"");
  }
  void TearDown() override {
    form_.reset();
    ui::ProcessMessages();
  }
  void Open(const std::wstring& name = L".t", bool protocol = false) {
    form_ = std::make_unique<ui::Modeless<TFormFileType>>(nullptr, assoc::TTypeTarget{protocol, name}, 96);
    form_->Show();
    ui::ProcessMessages();
  }
  static std::wstring Classes() { return testsupport::TreeDump(HKEY_CLASSES_ROOT, L""); }

  testsupport::RegistrySandbox sandbox_;
  assoctest::NoticeCounter notices_;
  testsupport::TempFolder appData_;
  common::Seam<std::wstring()>::Scope folder_ = assoc::MachineDataFolder.Replace([this] { return appData_.Path(); });
  testsupport::BoxScript boxes_;
  VerbScript verbs_;
  std::unique_ptr<TFormFileType> form_;
};

TEST_F(FileTypeWindowTest, EachEditIsOnePreviewedChangeThatUndoes) {
  struct Case {
    const char* what;
    std::function<void(TFormFileType&, VerbScript&)> edit;
    std::function<void()> check;
    int removed, added;  // lines of the whole tree's dump (keys, values) the edit takes and gives
  };
  const Case cases[] = {
      {"add",
       [](TFormFileType& form, VerbScript& verbs) {
         verbs.Then([](TVerb verb) {
           verb.Name = L"edit";
           verb.Caption = L"編集(&E)";
           verb.Command = L"e.exe \"%1\"";
           verb.Extended = true;
           return std::optional<TVerb>(verb);
         });
         form.AddVerb();
       },
       [] {
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\edit").text, L"編集(&E)");
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\edit", L"Extended").type, static_cast<DWORD>(REG_SZ));
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\edit\\command").text, L"e.exe \"%1\"");
       },
       0, 5},
      {"edit",
       [](TFormFileType& form, VerbScript& verbs) {
         verbs.Then([](TVerb verb) {
           verb.Command = L"t.exe /print \"%1\"";
           return std::optional<TVerb>(verb);
         });
         form.SelectVerb(1);
         form.EditVerb();
       },
       [] { EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\print\\command").text, L"t.exe /print \"%1\""); },
       1, 1},
      {"delete",
       [](TFormFileType& form, VerbScript&) {
         form.SelectVerb(1);
         form.DeleteVerb();
       },
       [] { EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L"tfile\\shell\\print")); },
       3, 0},
      {"default",
       [](TFormFileType& form, VerbScript&) {
         form.SelectVerb(1);
         form.MakeDefaultVerb();
       },
       [] { EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\shell").text, L"print"); },
       0, 1},
      {"properties",
       [](TFormFileType& form, VerbScript&) {
         form.EditDescription.SetText(L"新しい説明");
         form.EditIcon.SetText(L"%SystemRoot%\\system32\\shell32.dll,3");
         SendMessageW(form.ComboDisplay.Handle(), CB_SETCURSEL, 1, 0);
         form.ComboPerceived.SetText(L"text");
       },
       [] {
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile").text, L"新しい説明");
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\DefaultIcon").text, L"%SystemRoot%\\system32\\shell32.dll,3");
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile", L"AlwaysShowExt").type, static_cast<DWORD>(REG_SZ));
         EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".t", L"PerceivedType").text, L"text");
       },
       2, 4},
  };
  const std::wstring original = Classes();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open();
    c.edit(*form_, verbs_);
    EXPECT_TRUE(form_->Modified());
    EXPECT_EQ(Classes(), original) << "nothing is written before 適用";
    const size_t previews = boxes_.Previews().size();
    boxes_.Then(IDYES).Then(ui::mrOk);
    EXPECT_TRUE(form_->Apply());
    ASSERT_EQ(boxes_.Previews().size(), previews + 1);
    EXPECT_EQ(boxes_.Previews().back().question, L"拡張子「.t」のファイルタイプを変更します。\nよろしいですか？");
    const std::vector<ui::BoxRequest> shown = boxes_.Take();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, filetype::texts::kApplied);
    c.check();
    // Nothing else changed.
    const std::wstring difference = testsupport::TreeDifference(original, Classes());
    int removed = 0, added = 0;
    std::wistringstream lines(difference);
    for (std::wstring line; std::getline(lines, line);) {
      removed += line.starts_with(L"- ");
      added += line.starts_with(L"+ ");
    }
    EXPECT_EQ(removed, c.removed) << testing::PrintToString(difference);
    EXPECT_EQ(added, c.added) << testing::PrintToString(difference);
    EXPECT_FALSE(form_->Modified()) << "the window reads what was applied";

    const std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
    ASSERT_TRUE(undo);
    EXPECT_EQ(undo->Entry.Operation, assoc::TChangeOperation::EditFileType);
    assoc::ApplyHistoryMove(*undo);
    EXPECT_EQ(testsupport::TreeDifference(original, Classes()), L"");
    form_->Reload();
    EXPECT_EQ(form_->EditDescription.Text(), L"T 文書");
    form_.reset();
  }
  EXPECT_EQ(notices_.Count(), 10) << "each change and each undo told the shell";
}

TEST_F(FileTypeWindowTest, ListsShowEveryVerbAndWhatCannotBeEditedIsSaid) {
  WriteValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\share\\command", L"DelegateExecute", REG_SZ, L"{1}");
  WriteValue(HKEY_CLASSES_ROOT, L"SystemFileAssociations\\.t\\shell\\preview\\command", L"", REG_SZ, L"pv.exe %1");
  Open();
  EXPECT_EQ(GetWindowTextLengthW(form_->Handle()) > 0, true);
  wchar_t title[128] = {};
  GetWindowTextW(form_->Handle(), title, 128);
  EXPECT_STREQ(title, L"ファイルタイプの詳細 - .t (tfile)");
  HWND verbs = form_->VerbList();
  ASSERT_EQ(ListView_GetItemCount(verbs), 4);
  EXPECT_EQ(CellOf(verbs, 0, 0) + L"|" + CellOf(verbs, 0, 3) + L"|" + CellOf(verbs, 0, 5), L"open|既定|ファイルタイプ");
  EXPECT_EQ(CellOf(verbs, 2, 2), L"(プログラムの部品が実行)");
  EXPECT_EQ(CellOf(verbs, 3, 0) + L"|" + CellOf(verbs, 3, 5), L"preview|システム (.t)");

  const std::wstring original = Classes();
  for (int verb : {2, 3}) {
    form_->SelectVerb(verb);
    boxes_.Then(ui::mrOk);
    form_->EditVerb();
  }
  form_->SelectVerb(3);
  boxes_.Then(ui::mrOk);
  form_->DeleteVerb();
  const std::vector<ui::BoxRequest> said = boxes_.Take();
  ASSERT_EQ(said.size(), 3u);
  EXPECT_EQ(said[0].text, filetype::texts::kDelegatedVerb);
  EXPECT_EQ(said[1].text, filetype::texts::kSystemVerb);
  EXPECT_EQ(said[2].text, filetype::texts::kSystemVerb);
  EXPECT_TRUE(verbs_.Requests().empty());
  EXPECT_FALSE(form_->Modified());
  // The delegated verb may still go.
  form_->SelectVerb(2);
  form_->DeleteVerb();
  EXPECT_TRUE(form_->Modified());
  EXPECT_EQ(Classes(), original);
}

// The state column of an Open with entry, from the most telling fact down.
TEST(FileTypeTexts, OpenWithStateSaysTheFirstThatHolds) {
  const struct {
    bool typeMissing, unchecked, exists;
    const wchar_t* said;
  } cases[] = {
      {true, true, false, L"ファイルタイプがありません"},
      {false, true, false, L"ネットワーク上のため確認していません"},
      {false, false, false, L"プログラムが見つかりません"},
      {false, false, true, L"あり"},
  };
  for (const auto& c : cases) {
    assoc::TOpenWithEntry entry;
    entry.TypeMissing = c.typeMissing;
    entry.Unchecked = c.unchecked;
    entry.Exists = c.exists;
    EXPECT_EQ(filetype::texts::OpenWithCell(entry, 3), c.said);
  }
}

TEST_F(FileTypeWindowTest, ARefusedChangeIsSaidBeforeAnyQuestionAndClosingAsksAboutEditsLeft) {
  WriteValue(HKEY_CLASSES_ROOT, L".evil", L"", REG_SZ, L"exefile");
  WriteValue(HKEY_CLASSES_ROOT, L"exefile\\shell\\open\\command", L"", REG_SZ, L"\"%1\" %*");
  const std::wstring original = Classes();
  Open(L".evil");
  form_->EditDescription.SetText(L"evil");
  boxes_.Then(ui::mrOk);
  EXPECT_FALSE(form_->Apply());
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].text,
            assoc::texts::ChangeRefused(L"HKEY_CLASSES_ROOT\\exefile", assoc::texts::kPolicySystemKey));
  EXPECT_TRUE(boxes_.Previews().empty());
  EXPECT_EQ(Classes(), original);
  boxes_.Take();

  // Closing with edits left: Cancel stays, No closes without writing.
  boxes_.Then(ui::mrCancel).Then(ui::mrNo);
  form_->Close();
  EXPECT_TRUE(IsWindow(form_->Handle()));
  form_->Close();
  EXPECT_FALSE(form_->Handle());
  EXPECT_EQ(boxes_.Take().size(), 2u);
  EXPECT_EQ(Classes(), original);
}

TEST_F(FileTypeWindowTest, AValueTooLongForAFieldIsNeitherShownNorLost) {
  const std::wstring huge(40000, L'x');
  WriteValue(HKEY_CLASSES_ROOT, L"tfile", L"", REG_SZ, huge);
  WriteValue(HKEY_CLASSES_ROOT, L"tfile\\shell\\print\\command", L"", REG_SZ, huge);
  Open();
  EXPECT_FALSE(IsWindowEnabled(form_->EditDescription.Handle()));
  EXPECT_EQ(form_->EditDescription.Text(), filetype::texts::kTooLongToShow);
  form_->SelectVerb(1);
  boxes_.Then(ui::mrOk);
  form_->EditVerb();
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].text, filetype::texts::kVerbTooLongToEdit);
  EXPECT_TRUE(verbs_.Requests().empty());

  form_->EditIcon.SetText(L"u.exe,1");
  boxes_.Then(IDYES).Then(ui::mrOk);
  ASSERT_TRUE(form_->Apply());
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile").text, huge) << "kept whole";
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile\\DefaultIcon").text, L"u.exe,1");
}

TEST_F(FileTypeWindowTest, TheRealVerbEditorWorkedFromAnotherThread) {
  Open();
  std::wstring checked;
  testsupport::WindowDriver driver(testsupport::WindowCaptioned(filetype::texts::kVerbTitleAdd), [&](HWND editor) {
    SetDlgItemTextW(editor, filetype::TFormVerb::IDC_EDIT_NAME, L"edit");
    SetDlgItemTextW(editor, filetype::TFormVerb::IDC_EDIT_CAPTION, L"編集(&E)");
    SetDlgItemTextW(editor, filetype::TFormVerb::IDC_EDIT_COMMAND, L"e.exe \"%1\"");
    SendDlgItemMessageW(editor, filetype::TFormVerb::IDC_CHECK_EXTENDED, BM_CLICK, 0, 0);
    checked = testsupport::PressAndConfirm(editor, IDOK, 10000) ? L"gone" : L"stayed";
  });
  const std::optional<TVerb> verb = filetype::ShowRealVerbDialog({form_->Handle(), true, TVerb{}, {L"open"}});
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(checked, L"gone");
  ASSERT_TRUE(verb);
  EXPECT_EQ(verb->Name, L"edit");
  EXPECT_EQ(verb->Caption, L"編集(&E)");
  EXPECT_EQ(verb->Command, L"e.exe \"%1\"");
  EXPECT_TRUE(verb->Extended);

  // A name the type already has is said, and the editor stays.
  filetype::TFormVerb editor({form_->Handle(), true, TVerb{}, {L"open"}}, 96);
  editor.EditName.SetText(L"Open");
  editor.EditCommand.SetText(L"x.exe");
  boxes_.Then(ui::mrOk);
  editor.Accept();
  EXPECT_EQ(editor.ModalResult(), ui::mrNone);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].text, assoc::texts::kVerbNameTaken);

  // A verb that Windows let be called otherwise keeps its name through an edit.
  TVerb printing;
  printing.Name = printing.Original = L"印刷 2";
  printing.Command = L"p.exe";
  EXPECT_EQ(filetype::VerbProblem(printing, {L"open"}), L"");
  printing.Name = L"印刷 3";
  EXPECT_EQ(filetype::VerbProblem(printing, {L"open"}), assoc::texts::kVerbNameInvalid);
}

TEST_F(FileTypeWindowTest, OpensFromTheMainWindowsMenuAndFromTheListOncePerType) {
  ui::Application::Instance().SetTitle(kApplicationTitle);
  TFormMain main(96);
  main.Show();
  main.EditExt.SetText(L".t");
  SendMessageW(main.Handle(), WM_COMMAND, IDM_FILE_TYPE_DETAILS, 0);
  HWND first = testsupport::FindVisibleWindow(testsupport::WindowCaptioned(L"ファイルタイプの詳細 - .t (tfile)"));
  ASSERT_TRUE(first);
  EXPECT_EQ(GetWindow(first, GW_OWNER), main.Handle());
  EXPECT_TRUE(IsWindowEnabled(main.Handle())) << "modeless";
  SendMessageW(main.Handle(), WM_COMMAND, IDM_FILE_TYPE_DETAILS, 0);
  EXPECT_EQ(testsupport::FindVisibleWindow(testsupport::WindowCaptioned(L"ファイルタイプの詳細 - .t (tfile)")), first)
      << "the same window again";
  WriteValue(HKEY_CLASSES_ROOT, L".t2", L"", REG_SZ, L"TFILE");
  main.EditExt.SetText(L".t2");
  SendMessageW(main.Handle(), WM_COMMAND, IDM_FILE_TYPE_DETAILS, 0);
  EXPECT_EQ(GetActiveWindow(), first) << "another extension of the same file type";
  EXPECT_FALSE(testsupport::FindVisibleWindow(testsupport::WindowCaptioned(L"ファイルタイプの詳細 - .t2 (TFILE)")));

  main.ActionAssocListExecute();
  auto* list = dynamic_cast<TFormAssocList*>(ui::Form::FromHandle(GetActiveWindow()));
  ASSERT_TRUE(list);
  while (list->Loading()) ui::ProcessMessages();
  list->ShowKinds(assoclist::KindFilter::Protocols);
  list->SelectExtensions({L"tvr"});
  SendMessageW(list->Handle(), WM_COMMAND, TFormAssocList::IDM_LIST_DETAILS, 0);
  HWND protocol = testsupport::FindVisibleWindow(testsupport::WindowCaptioned(L"ファイルタイプの詳細 - tvr:"));
  ASSERT_TRUE(protocol);
  auto* window = dynamic_cast<TFormFileType*>(ui::Form::FromHandle(protocol));
  ASSERT_TRUE(window);
  EXPECT_TRUE(window->Target().Protocol);
  EXPECT_EQ(CellOf(window->VerbList(), 0, 2), L"t.exe \"%1\"");
  EXPECT_FALSE(IsWindowEnabled(window->OpenWithList())) << "a protocol has no Open with entries";
}

TEST_F(FileTypeWindowTest, AnUndoInTheMainWindowShowsInTheOpenWindows) {
  TFormMain main(96);
  main.Show();
  main.OpenFileType(L".t", false);
  auto* window = dynamic_cast<TFormFileType*>(ui::Form::FromHandle(GetActiveWindow()));
  ASSERT_TRUE(window);
  window->EditDescription.SetText(L"新しい説明");
  boxes_.Then(IDYES).Then(ui::mrOk);
  ASSERT_TRUE(window->Apply());
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile").text, L"新しい説明");

  boxes_.Then(IDYES).Then(ui::mrOk);
  main.ActionFileUndoExecute();
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tfile").text, L"T 文書");
  EXPECT_EQ(window->EditDescription.Text(), L"T 文書") << "the window read the registry again";
  EXPECT_NE(boxes_.Previews().back().question.find(L"拡張子「.t」のファイルタイプの変更を元に戻します"), std::wstring::npos)
      << testing::PrintToString(boxes_.Previews().back().question);
}

}  // namespace
