// The operations' requests carried out with no window: what each says and asks, in which order,
// what it leaves in the registry when the user says no, and that a register with the removal of
// a per-user record after it is one change that one 元に戻す takes back whole.
#include "assoc/change_requests.h"
#include "assoc/windows_version.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_apply.h"
#include "assoc/change_history.h"
#include "assoc/change_policy.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/store_fixture.h"
#include "assoc/user_override.h"
#include "common/change_request.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using assoctest::RegFileOf;
using common::TBox;
using common::TBoxButtons;
using common::TBoxKind;
using common::TResult;
using testsupport::KeyExists;
using testsupport::WriteValue;
namespace texts = assoc::texts;

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kUserClasses[] = L"Software\\Classes\\";

// A front-end that answers by script: every question and preview takes the next answer, every
// box and preview is kept, Windows' places never open.
class ScriptedFrontEnd : public common::TFrontEnd {
 public:
  bool Show(const TBox& box) override {
    boxes.push_back(box);
    return box.Buttons != TBoxButtons::Ok && Answer();
  }
  bool Preview(const common::TPreviewPart& preview) override {
    previews.push_back(preview.Question);
    return Answer();
  }
  common::TOutcome Apply(const common::TChangeRequest& request) override {
    try {
      return request.Apply([](size_t, size_t) {});
    } catch (const Exception& e) {
      return common::TOutcome{TResult::Failed, TBox{TBoxKind::Warning, e.Message()}};
    }
  }
  bool OpenShell(common::TShellPlace place, const std::wstring& extension) override {
    shells.emplace_back(place, extension);
    return false;
  }
  void Changed() override { ++changed; }

  // The texts of the boxes shown, in order.
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> out;
    for (const TBox& box : boxes) out.push_back(box.Text);
    return out;
  }

  std::deque<bool> answers;
  std::vector<TBox> boxes;
  std::vector<std::wstring> previews;
  std::vector<std::pair<common::TShellPlace, std::wstring>> shells;
  int changed = 0;

 private:
  bool Answer() {
    if (answers.empty()) {
      ADD_FAILURE() << "asked more than the script answers";
      return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// A sandboxed registry holding the text files' type, notices counted, backups in a folder of
// the test's own.
class ChangeRequests : public testing::Test {
 protected:
  ChangeRequests() {
    WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
    WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"notepad.exe %1");
    WriteValue(HKEY_CLASSES_ROOT, L"Viewer.tvr\\shell\\open\\command", L"", REG_SZ, L"\"C:\\Viewer\\v.exe\" \"%1\"");
  }
  void SetUp() override { ASSERT_TRUE(sandbox_.Ok()); }

  std::vector<std::wstring> Registry() const {
    auto lines = testsupport::Snapshot(sandbox_.Machine());
    auto user = testsupport::Snapshot(sandbox_.User());
    lines.insert(lines.end(), user.begin(), user.end());
    return lines;
  }
  static size_t HistoryLength() { return assoc::ReadHistory().Entries.size(); }
  // Carries out request with these answers; every answer is used.
  common::TOutcome Run(const common::TChangeRequest& request, const std::vector<bool>& answers) {
    front_ = ScriptedFrontEnd();
    front_.answers.assign(answers.begin(), answers.end());
    const common::TOutcome outcome = common::CarryOut(request, front_);
    EXPECT_TRUE(front_.answers.empty()) << front_.answers.size() << " answers left unasked";
    return outcome;
  }
  static assoc::TRegisterFields Fields(const std::wstring& extension) {
    return {extension, L"\"C:\\Tools\\t.exe\" \"%1\"", L"", testsupport::SystemShell32(), L"0"};
  }

  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
  assoctest::NoticeCounter notices_;
  testsupport::TempFolder appData_, files_;
  common::Seam<std::wstring()>::Scope folder_ = assoc::MachineDataFolder.Replace([this] { return appData_.Path(); });
  ScriptedFrontEnd front_;
};

TEST_F(ChangeRequests, ARegisterOfFieldsThatCannotBeRegisteredIsRefusedBeforeAnyQuestion) {
  const std::wstring notAnIcon = testsupport::Written(files_ / L"not-an-icon.txt", "not an icon\r\n");
  const std::wstring shell32 = testsupport::SystemShell32();
  struct Case {
    const char* what;
    assoc::TRegisterFields fields;
    const wchar_t* text;
    int focus;
  };
  const Case cases[] = {
      {"only a dot", {L".", L"t.exe %1", L"", shell32, L"0"}, texts::kEnterExtension, assoc::kExtensionField},
      {"no command", {L".tvr", L"", L"", shell32, L"0"}, texts::kEnterCommand, assoc::kCommandField},
      {"a file without icons", {L".tvr", L"t.exe %1", L"", notAnIcon, L"0"}, texts::kSelectIcon, assoc::kNoField},
      {"no icon file", {L".tvr", L"t.exe %1", L"", L"", L"0"}, texts::kSelectIcon, assoc::kNoField},
      {"an index that is no number", {L".tvr", L"t.exe %1", L"", shell32, L"x"}, texts::kSelectIcon, assoc::kNoField},
      {"a negative index", {L".tvr", L"t.exe %1", L"", shell32, L"-1"}, texts::kSelectIcon, assoc::kNoField},
  };
  const auto before = Registry();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const common::TOutcome outcome = Run(assoc::RequestRegister(c.fields), {});
    EXPECT_EQ(outcome.Result, TResult::Refused);
    EXPECT_EQ(outcome.Focus, c.focus);
    EXPECT_FALSE(outcome.Changed);
    ASSERT_EQ(front_.boxes.size(), 1u);
    EXPECT_EQ(front_.boxes[0].Text, c.text);
    EXPECT_EQ(front_.boxes[0].Kind, TBoxKind::Warning);
    EXPECT_EQ(front_.changed, 0);
  }
  EXPECT_EQ(Registry(), before);
  EXPECT_EQ(HistoryLength(), 0u);
}

TEST_F(ChangeRequests, ARegisterAsksWhatItMustInOrderAndChangesNothingUntilEveryAnswerIsYes) {
  struct Case {
    const char* what;
    std::wstring extension;
    std::function<void()> arrange;
    std::vector<TBox> questions;  // before the confirmation
  };
  const TBox sharedType{TBoxKind::Warning,
                        texts::SharedTypeQuestion(L".tvr", L"tvrFile", {L"拡張子「.tv2」", L"拡張子「.tv3」"}),
                        TBoxButtons::YesNo, true};
  const Case cases[] = {
      {"a plain extension", L".tvr", [] {}, {}},
      {"an extension that starts programs", L".vbs", [] {},
       {{TBoxKind::Warning, texts::ProgramExtensionWarning(L".vbs"), TBoxButtons::YesNo, true}}},
      {"a file type that two other extensions use", L".tvr",
       [] {
         WriteValue(HKEY_CLASSES_ROOT, L".tv2", L"", REG_SZ, L"tvrFile");
         WriteValue(HKEY_CLASSES_ROOT, L".tv3", L"", REG_SZ, L"tvrfile");
         WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"old.exe %1");
       },
       {sharedType}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    const auto before = Registry();
    const size_t entries = HistoryLength();
    const assoc::TRegisterFields fields = Fields(c.extension);
    std::vector<TBox> asked = c.questions;
    asked.push_back({TBoxKind::Confirmation, texts::LinkQuestion(c.extension), TBoxButtons::YesNoCancel});

    // いいえ to each question in turn ends the request there, with nothing changed.
    for (size_t no = 0; no < asked.size(); ++no) {
      SCOPED_TRACE(no);
      std::vector<bool> answers(no, true);
      answers.push_back(false);
      EXPECT_EQ(Run(assoc::RequestRegister(fields), answers).Result, TResult::Declined);
      ASSERT_EQ(front_.boxes.size(), no + 1);
      for (size_t i = 0; i <= no; ++i) {
        EXPECT_EQ(front_.boxes[i].Text, asked[i].Text);
        EXPECT_EQ(front_.boxes[i].Kind, asked[i].Kind);
        EXPECT_EQ(front_.boxes[i].Buttons, asked[i].Buttons);
        EXPECT_EQ(front_.boxes[i].DefaultNo, asked[i].DefaultNo);
      }
      EXPECT_EQ(Registry(), before);
      EXPECT_EQ(front_.changed, 0);
    }

    const common::TOutcome outcome = Run(assoc::RequestRegister(fields), std::vector<bool>(asked.size(), true));
    EXPECT_EQ(outcome.Result, TResult::Done);
    EXPECT_TRUE(outcome.Changed);
    ASSERT_EQ(front_.boxes.size(), asked.size() + 1);
    EXPECT_EQ(front_.boxes.back().Text, texts::kLinked);
    EXPECT_EQ(front_.changed, 1);
    EXPECT_EQ(assoc::ReadClassicRecord(c.extension).Command, fields.Command);
    EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, c.extension).text, c.extension.substr(1) + L"File");
    EXPECT_EQ(HistoryLength(), entries + 1);
  }
  // The other extensions now open with what was registered into the type they share.
  EXPECT_EQ(assoc::ReadClassicRecord(L".tv2").Command, Fields(L".tvr").Command);
}

TEST_F(ChangeRequests, ARegisterAndTheRemovalOfThePerUserRecordAfterItAreOneChangeThatOneUndoTakesBack) {
  const std::wstring choice = std::wstring(kFileExts) + L".tvr\\UserChoice";
  const std::wstring userClass = std::wstring(kUserClasses) + L".tvr";
  struct Case {
    const char* what;
    bool choice, userClasses;
    bool removed;  // the question after the register answered はい
  };
  const Case cases[] = {
      {"a per-user class record, removed", false, true, true},
      {"a per-user choice, removed", true, false, true},
      {"both, removed", true, true, true},
      {"both, kept", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L".tvr").c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, userClass.c_str());
    if (c.choice) {
      WriteValue(HKEY_CURRENT_USER, choice, L"ProgId", REG_SZ, L"Viewer.tvr");
      WriteValue(HKEY_CURRENT_USER, choice, L"Hash", REG_SZ, L"q2x4=");
      WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\OpenWithProgids", L"Viewer.tvr", REG_SZ, L"");
    }
    if (c.userClasses) WriteValue(HKEY_CURRENT_USER, userClass, L"", REG_SZ, L"Viewer.tvr");
    const auto before = Registry();
    // The register drops the change the previous case undid.
    const size_t entries = assoc::ReadHistory().Position;
    const assoc::UserOverride what{c.choice, c.userClasses};

    const common::TOutcome outcome = Run(assoc::RequestRegister(Fields(L".tvr")), {true, c.removed});
    EXPECT_EQ(outcome.Result, c.removed ? TResult::Done : TResult::Declined);
    ASSERT_EQ(front_.boxes.size(), c.removed ? 4u : 3u);
    EXPECT_EQ(front_.boxes[1].Text, texts::kLinked);
    EXPECT_EQ(front_.boxes[2].Kind, TBoxKind::Confirmation);
    EXPECT_NE(front_.boxes[2].Text.find(assoc::OverrideName(what, L".tvr") + L"を削除"), std::wstring::npos)
        << testing::PrintToString(front_.boxes[2].Text);
    if (c.removed) {
      EXPECT_EQ(front_.boxes[3].Text, assoc::OverrideRemoved(what, L".tvr"));
    }
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, choice), c.choice && !c.removed);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, userClass), c.userClasses && !c.removed);
    ASSERT_EQ(HistoryLength(), entries + 1) << "the register and the removal are one change";
    EXPECT_EQ(assoc::ReadHistory().Position, entries + 1);
    EXPECT_EQ(assoc::ReadHistory().Entries.back().Operation, assoc::TChangeOperation::Link);

    // One undo: the register and the removal go back together. A choice only Windows can write
    // again; the undo offers Windows' chooser, and says where to choose when it does not open.
    const bool lost = c.choice && c.removed;
    const common::TOutcome undone = Run(assoc::RequestUndo(), std::vector<bool>(lost ? 2 : 1, true));
    EXPECT_EQ(undone.Result, TResult::Done);
    ASSERT_EQ(front_.previews.size(), 1u);
    EXPECT_EQ(front_.previews[0], texts::UndoQuestion(assoc::ReadHistory().Entries.back()));
    std::vector<std::wstring> said = {texts::kUndone};
    if (lost) said.insert(said.end(), {assoc::ChooseAgainQuestion(L".tvr"), assoc::ChooseInSettings(L".tvr")});
    EXPECT_EQ(front_.Texts(), said);
    using Shell = std::pair<common::TShellPlace, std::wstring>;
    const std::vector<Shell> chooser = {{common::TShellPlace::WindowsChooser, L".tvr"}};
    EXPECT_EQ(front_.shells, lost ? chooser : std::vector<Shell>{});
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
    if (lost) {
      EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, choice));
      WriteValue(HKEY_CURRENT_USER, choice, L"ProgId", REG_SZ, L"Viewer.tvr");
      WriteValue(HKEY_CURRENT_USER, choice, L"Hash", REG_SZ, L"q2x4=");
    }
    EXPECT_EQ(Registry(), before);
    EXPECT_EQ(assoc::ReadHistory().Position, entries);
  }
}

TEST_F(ChangeRequests, ARemovalAfterARegisterThatFailsHalfWaySaysWhatIsLeftAndHasTheRegistryReadAgain) {
  const std::wstring choice = std::wstring(kFileExts) + L".tvr\\UserChoice";
  WriteValue(HKEY_CURRENT_USER, choice, L"ProgId", REG_SZ, L"Viewer.tvr");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr", L"", REG_SZ, L"Viewer.tvr");
  // The choice goes; the class record cannot, and neither can the choice come back.
  auto fail = assoc::WriteStep.Replace([](const assoc::TChangeStep& step) {
    const bool classRecord = step.Key.ends_with(L"Classes\\.tvr") && step.Key.starts_with(L"HKEY_CURRENT_USER");
    const bool choiceBack = step.Kind == assoc::TStepKind::CreateKey && step.Key.ends_with(L"UserChoice");
    return classRecord || choiceBack ? static_cast<LONG>(ERROR_WRITE_FAULT) : assoc::WriteStep.Real(step);
  });
  const common::TOutcome outcome = Run(assoc::RequestRegister(Fields(L".tvr")), {true, true});
  EXPECT_EQ(outcome.Result, TResult::Failed);
  ASSERT_EQ(front_.boxes.size(), 4u);
  const std::wstring failed = assoc::OverrideName({true, true}, L".tvr") + L"を削除できませんでした。";
  EXPECT_EQ(front_.boxes[3].Text.rfind(failed, 0), 0u)
      << testing::PrintToString(front_.boxes[3].Text);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, choice));
  // What is left differs from what the front-end read after the register.
  EXPECT_TRUE(outcome.Changed);
  EXPECT_EQ(front_.changed, 2);
  EXPECT_EQ(HistoryLength(), 1u);
}

TEST_F(ChangeRequests, AnOfferInWindowsListThatFailsIsAFailureNeverWindowsProtection) {
  // On Windows 10 Explorer takes only Windows' choice for .bmp: the register offers the program in
  // Windows' list, whose write fails: for want of rights, or half way with its undo failing too.
  auto version = assoc::ExplorerWindowsVersion.Replace([] { return assoc::WindowsVersion{10, 0}; });
  const struct {
    LONG code;
    bool halfWay;
  } cases[] = {{ERROR_ACCESS_DENIED, false}, {ERROR_WRITE_FAULT, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    auto fail = assoc::WriteStep.Replace([c](const assoc::TChangeStep& step) {
      const bool offer = step.Key.ends_with(L".bmp\\OpenWithProgids");
      if (!offer) return assoc::WriteStep.Real(step);
      if (!c.halfWay || step.Kind == assoc::TStepKind::DeleteKey) return c.code;
      return step.Kind == assoc::TStepKind::CreateKey ? assoc::WriteStep.Real(step) : c.code;
    });
    const common::TOutcome outcome = Run(assoc::RequestRegister(Fields(L".bmp")), {true, true});
    EXPECT_EQ(outcome.Result, TResult::Failed) << "the offer writes no choice that Windows could protect";
    EXPECT_EQ(outcome.Changed, c.halfWay) << "what is left differs from what was read after the register";
    EXPECT_TRUE(front_.shells.empty()) << "no chooser after a failed offer";
  }
}

TEST_F(ChangeRequests, ADeleteConfirmsThenSaysWhichFileTypeItKept) {
  const common::TOutcome dot = Run(assoc::RequestDelete(L"."), {});
  EXPECT_EQ(dot.Result, TResult::Refused);
  EXPECT_EQ(dot.Focus, assoc::kExtensionField);
  EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{texts::kEnterExtension});

  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
  WriteValue(HKEY_CLASSES_ROOT, L".tv2", L"", REG_SZ, L"tvrFile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"t.exe %1");
  const auto before = Registry();
  EXPECT_EQ(Run(assoc::RequestDelete(L".tvr"), {false}).Result, TResult::Declined);
  ASSERT_EQ(front_.boxes.size(), 1u);
  EXPECT_EQ(front_.boxes[0].Text, texts::UnlinkQuestion(L".tvr"));
  EXPECT_EQ(front_.boxes[0].Buttons, TBoxButtons::YesNoCancel);
  EXPECT_EQ(Registry(), before);

  TLinkExtention::TUnlinkResult shared{L"tvrFile", TLinkExtention::TFileTypeKept::Shared, {L".tv2"}};
  EXPECT_EQ(Run(assoc::RequestDelete(L".tvr"), {true}).Result, TResult::Done);
  EXPECT_EQ(front_.Texts(),
            (std::vector<std::wstring>{texts::UnlinkQuestion(L".tvr"), texts::UnlinkedMessage(shared)}));
  EXPECT_NE(front_.boxes[1].Text.find(L".tv2"), std::wstring::npos) << testing::PrintToString(front_.boxes[1].Text);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command"));

  // The last extension of the type takes it along.
  EXPECT_EQ(Run(assoc::RequestDelete(L".tv2"), {true}).Result, TResult::Done);
  EXPECT_EQ(front_.boxes.back().Text, texts::UnlinkedMessage({L"tvrFile"}));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"tvrFile"));
  EXPECT_EQ(HistoryLength(), 2u);

  // A per-user class record that would still open the extension goes with the delete, as one
  // change that one undo takes back.
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"t.exe %1");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr", L"", REG_SZ, L"Viewer.tvr");
  const auto recorded = Registry();
  const assoc::UserOverride userClasses{false, true};
  EXPECT_EQ(Run(assoc::RequestDelete(L".tvr"), {true, true}).Result, TResult::Done);
  ASSERT_EQ(front_.boxes.size(), 4u);
  const std::wstring alsoRemove = assoc::OverrideName(userClasses, L".tvr") + L"も削除しますか？";
  EXPECT_NE(front_.boxes[2].Text.find(alsoRemove), std::wstring::npos)
      << testing::PrintToString(front_.boxes[2].Text);
  EXPECT_EQ(front_.boxes[3].Text, assoc::OverrideRemoved(userClasses, L".tvr"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr"));
  EXPECT_EQ(HistoryLength(), 3u);
  EXPECT_EQ(Run(assoc::RequestUndo(), {true}).Result, TResult::Done);
  EXPECT_EQ(Registry(), recorded);
}

TEST_F(ChangeRequests, ARegistryFileIsJudgedBeforeAnyQuestionAndPreviewedWhenItChangesSomething) {
  const std::wstring root = L"HKEY_CLASSES_ROOT\\";
  const std::wstring refused = root + L"CLSID\\{1}\\InprocServer32";
  struct Operation {
    const char* what;
    std::function<common::TChangeRequest(const std::wstring&)> request;
    std::function<std::wstring(const std::wstring&)> question;
    const wchar_t* done;
    assoc::TChangeOperation operation;
    std::function<std::wstring(std::wstring_view, std::wstring_view)> cannot;
  };
  const Operation operations[] = {
      {"import", [](const std::wstring& p) { return assoc::RequestImport(p); }, &texts::ImportQuestion,
       texts::kImported, assoc::TChangeOperation::Import, &texts::CannotImport},
      {"restore", [](const std::wstring& p) { return assoc::RequestRestore(p); }, &texts::RestoreQuestion,
       texts::kRestored, assoc::TChangeOperation::Restore, &texts::CannotRestore},
  };
  const std::wstring hostile =
      testsupport::Written(files_ / L"hostile.reg", RegFileOf({L"[" + refused + L"]", L"@=\"C:\\\\evil.dll\""}));
  const std::wstring same =
      testsupport::Written(files_ / L"same.reg", RegFileOf({L"[" + root + L".txt]", L"@=\"txtfile\""}));
  const std::wstring fresh =
      testsupport::Written(files_ / L"new.reg", RegFileOf({L"[" + root + L".new]", L"@=\"newFile\"",
                                                          L"[" + root + L"newFile\\shell\\open\\command]",
                                                          L"@=\"n.exe %1\""}));
  for (const Operation& o : operations) {
    SCOPED_TRACE(o.what);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".new");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"newFile");
    const auto before = Registry();
    const size_t entries = HistoryLength();

    common::TOutcome outcome = Run(o.request(hostile), {});
    EXPECT_EQ(outcome.Result, TResult::Refused);
    const std::wstring fault = texts::LineFault(3, texts::KeyRefused(refused, texts::kPolicySystemKey));
    EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{o.cannot(L"hostile.reg", fault)});
    outcome = Run(o.request(files_ / L"missing.reg"), {});
    EXPECT_EQ(outcome.Result, TResult::Failed);
    EXPECT_EQ(front_.boxes.size(), 1u);
    outcome = Run(o.request(same), {});
    EXPECT_EQ(outcome.Result, TResult::Nothing);
    EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{texts::kNothingToChange});
    EXPECT_EQ(Run(o.request(fresh), {false}).Result, TResult::Declined);
    EXPECT_EQ(front_.previews, std::vector<std::wstring>{o.question(L"new.reg")});
    EXPECT_TRUE(front_.boxes.empty());
    EXPECT_EQ(Registry(), before);
    EXPECT_EQ(HistoryLength(), entries);
    EXPECT_EQ(front_.changed, 0);

    outcome = Run(o.request(fresh), {true});
    EXPECT_EQ(outcome.Result, TResult::Done);
    EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{o.done});
    EXPECT_EQ(front_.changed, 1);
    EXPECT_EQ(assoc::ReadClassicRecord(L".new").Command, L"n.exe %1");
    ASSERT_EQ(HistoryLength(), entries + 1);
    EXPECT_EQ(assoc::ReadHistory().Entries.back().Operation, o.operation);
  }
}

TEST_F(ChangeRequests, UndoAndRedoSayWhenThereIsNothingAndOtherwiseStepThroughTheHistory) {
  for (bool redo : {false, true}) {
    SCOPED_TRACE(redo ? "redo" : "undo");
    const common::TOutcome outcome = Run(redo ? assoc::RequestRedo() : assoc::RequestUndo(), {});
    EXPECT_EQ(outcome.Result, TResult::Nothing);
    EXPECT_FALSE(outcome.Changed);
    EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{redo ? texts::kNothingToRedo : texts::kNothingToUndo});
    EXPECT_TRUE(front_.previews.empty());
  }

  const auto before = Registry();
  ASSERT_EQ(Run(assoc::RequestRegister(Fields(L".tvr")), {true}).Result, TResult::Done);
  const auto registered = Registry();
  const assoc::THistoryEntry entry = assoc::ReadHistory().Entries.at(0);
  EXPECT_EQ(Run(assoc::RequestRedo(), {}).Result, TResult::Nothing) << "nothing was undone yet";

  EXPECT_EQ(Run(assoc::RequestUndo(), {false}).Result, TResult::Declined);
  EXPECT_EQ(Registry(), registered);
  EXPECT_EQ(Run(assoc::RequestUndo(), {true}).Result, TResult::Done);
  EXPECT_EQ(front_.previews, std::vector<std::wstring>{texts::UndoQuestion(entry)});
  EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{texts::kUndone});
  EXPECT_EQ(Registry(), before);
  EXPECT_EQ(Run(assoc::RequestUndo(), {}).Result, TResult::Nothing);

  EXPECT_EQ(Run(assoc::RequestRedo(), {true}).Result, TResult::Done);
  EXPECT_EQ(front_.previews, std::vector<std::wstring>{texts::RedoQuestion(entry)});
  EXPECT_EQ(front_.Texts(), std::vector<std::wstring>{texts::kRedone});
  EXPECT_EQ(Registry(), registered);
  EXPECT_EQ(assoc::ReadHistory().Position, 1u);
}

}  // namespace
