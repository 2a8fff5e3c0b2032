// The change engine: hostile registry files are refused whole before anything is written, a
// failed step rolls back what was applied, only the history's own files are undone, and a plan
// holds only the differences.
#include "assoc/change_engine.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_apply.h"
#include "assoc/change_history.h"
#include "assoc/change_preview.h"
#include "assoc/change_policy.h"
#include "assoc/reg_snapshot.h"
#include "assoc/store_fixture.h"
#include "common/secure_folder.h"
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using assoctest::MessageOf;
using assoctest::RegFileOf;
using testsupport::KeyExists;
using testsupport::WriteValue;
namespace texts = assoc::texts;

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kUrlChoices[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";

SYSTEMTIME FixedTime() {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 10;
  t.wHour = 9;
  t.wMinute = 30;
  return t;
}

// A change of the history, at the fixed time.
assoc::THistoryEntry EntryOf(const std::wstring& subject, const std::wstring& undoFile, const std::wstring& redoFile) {
  assoc::THistoryEntry entry;
  entry.Time = FixedTime();
  entry.Account = L"user";
  entry.Subject = subject;
  entry.UndoFile = undoFile;
  entry.RedoFile = redoFile;
  return entry;
}

// Writes bytes at path as older versions wrote into their folder: owned by Administrators,
// readable by signed-in accounts.
void WriteAsOlderVersion(const std::wstring& path, std::string_view bytes) {
  common::UniqueHLocal security;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FRFX;;;AU)", SDDL_REVISION_1,
      reinterpret_cast<PSECURITY_DESCRIPTOR*>(security.put()), nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.get(), FALSE};
  const common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// A sandboxed registry (HKEY_CLASSES_ROOT standing for the machine's classes, as under Wine),
// counted notices, a folder of its own for the backups and a clock that stands still.
class ChangeEngine : public testing::Test {
 protected:
  ChangeEngine() {
    WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
    WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"notepad.exe %1");
    WriteValue(HKEY_CLASSES_ROOT, L"mailto", L"URL Protocol", REG_SZ, L"");
    WriteValue(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", L"", REG_SZ, L"mail.exe %1");
    WriteValue(HKEY_CLASSES_ROOT, L"http", L"URL Protocol", REG_SZ, L"");
    WriteValue(HKEY_CLASSES_ROOT, L"Foo.Bar\\CLSID", L"", REG_SZ, L"{1}");
    WriteValue(HKEY_CLASSES_ROOT, L"CLSID\\{1}\\InprocServer32", L"", REG_SZ, L"foo.dll");
    WriteValue(HKEY_CLASSES_ROOT, L"exefile\\shell\\open\\command", L"", REG_SZ, L"\"%1\" %*");
    WriteValue(HKEY_CLASSES_ROOT, L"Wow6432Node\\CLSID", L"", REG_SZ, L"");
    WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".txt\\UserChoice", L"ProgId", REG_SZ, L"txtfile");
  }
  std::vector<std::wstring> Registry() const {
    auto lines = testsupport::Snapshot(sandbox_.Machine());
    auto user = testsupport::Snapshot(sandbox_.User());
    lines.insert(lines.end(), user.begin(), user.end());
    return lines;
  }
  std::wstring File(const std::wstring& name, std::initializer_list<std::wstring> lines) const {
    return testsupport::Written(files_ / name, RegFileOf(lines));
  }
  assoc::TChangePlan Link(const std::wstring& extension, const std::wstring& command) {
    return assoc::PlanLink(extension, command, L"", 0, L"");
  }

  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
  assoctest::NoticeCounter notices_;
  testsupport::TempFolder appData_, files_;
  common::Seam<std::wstring()>::Scope folder_ = assoc::MachineDataFolder.Replace([this] { return appData_.Path(); });
  common::Seam<SYSTEMTIME()>::Scope clock_ = assoc::BackupClock.Replace(&FixedTime);
};

TEST_F(ChangeEngine, HostileFilesAreRefusedWholeNamingTheLineTheKeyAndWhyBeforeAnythingIsWritten) {
  const std::wstring root = L"HKEY_CLASSES_ROOT\\";
  const std::wstring user = L"HKEY_CURRENT_USER\\";
  const std::wstring fileExts = user + kFileExts;
  WriteValue(HKEY_CLASSES_ROOT, L".vbs", L"", REG_SZ, L"VBSFile");
  WriteValue(HKEY_CLASSES_ROOT, L"VBSFile\\shell\\open\\command", L"", REG_SZ, L"wscript.exe \"%1\"");
  std::vector<std::wstring> manyValues = {L"[" + root + L"CLSID\\{2}]"};
  for (int i = 0; i < 16000; ++i) manyValues.push_back(L"\"v" + std::to_wstring(i) + L"\"=\"C:\\\\evil.dll\"");
  struct Case {
    const char* what;
    std::wstring fileName;
    std::vector<std::wstring> lines;  // after the header and a blank line, so the first is line 3
    int line;
    std::wstring key;
    std::wstring reason;
  };
  const Case cases[] = {
      {"a COM server behind a protocol's disguise", L"x.reg",
       {L"[" + root + L"CLSID]", L"\"URL Protocol\"=\"\"", L"[" + root + L"CLSID\\{1}\\InprocServer32]",
        L"@=\"C:\\\\evil.dll\""},
       3, root + L"CLSID", texts::kPolicySystemKey},
      {"the class table wiped behind the disguise", L"x.reg",
       {L"[-" + root + L"CLSID]", L"[" + root + L"CLSID]", L"\"URL Protocol\"=\"\""}, 3, root + L"CLSID",
       texts::kPolicySystemKey},
      {"programs' own file type behind the disguise", L"x.reg",
       {L"[" + root + L"exefile]", L"\"URL Protocol\"=\"\"", L"[" + root + L"exefile\\shell\\open\\command]",
        L"@=\"evil.exe\""},
       3, root + L"exefile", texts::kPolicySystemKey},
      {"the 32-bit view behind the disguise", L"x.reg",
       {L"[" + root + L"Wow6432Node\\exefile]", L"\"URL Protocol\"=\"\""}, 3, root + L"Wow6432Node\\exefile",
       texts::kPolicySystemKey},
      {"an existing key made a protocol", L"x.reg", {L"[" + root + L"Foo.Bar]", L"\"URL Protocol\"=\"\""}, 3,
       root + L"Foo.Bar", texts::kPolicyProtocolDisguise},
      {"every file's menu", L"x.reg", {L"[" + root + L"*\\shell\\evil\\command]", L"@=\"evil.exe\""}, 3,
       root + L"*\\shell\\evil\\command", texts::kPolicySystemKey},
      {"a perceived type's verbs", L"x.reg",
       {L"[" + root + L"SystemFileAssociations\\image\\shell\\evil\\command]", L"@=\"evil.exe\""}, 3,
       root + L"SystemFileAssociations\\image\\shell\\evil\\command", texts::kPolicyPerceivedType},
      {"a file named after the extension of programs", L".exe", {L"[" + root + L".exe]", L"@=\"evilfile\""}, 3,
       root + L".exe", texts::kPolicyProgramExtension},
      {"a document made a program", L"x.reg", {L"[" + root + L".pdf]", L"@=\"exefile\""}, 4, root + L".pdf",
       texts::kPolicySystemKey},
      {"a document made a script", L"x.reg", {L"[" + root + L".pdf]", L"@=\"VBSFile\""}, 4, root + L".pdf",
       texts::kPolicyProgramType},
      {"another extension's file type changed in passing", L"x.reg",
       {L"[" + root + L".foo]", L"@=\"txtfile\"", L"[" + root + L"txtfile\\shell\\open\\command]",
        L"@=\"evil.exe %1\""},
       5, root + L"txtfile\\shell\\open\\command", texts::PolicyShared(L".txt")},
      {"another extension's file type removed", L"x.reg", {L"[" + root + L".evil]", L"@=\"txtfile\"",
                                                           L"[-" + root + L"txtfile]"},
       5, root + L"txtfile", texts::PolicyShared(L".txt")},
      {"a COM class's ProgID named", L"x.reg", {L"[" + root + L".c]", L"@=\"Foo.Bar\""}, 4, root + L".c",
       texts::kPolicyComClass},
      {"a protocol named as a file type", L"x.reg", {L"[" + root + L".m]", L"@=\"mailto\""}, 4, root + L".m",
       texts::kPolicyProtocol},
      {"every extension's per-user records", L"x.reg",
       {L"[-" + fileExts.substr(0, fileExts.size() - 1) + L"]", L"[" + fileExts + L".foo]", L"\"x\"=\"y\""}, 3,
       fileExts.substr(0, fileExts.size() - 1), texts::kPolicyRoot},
      {"the machine's classes", L"x.reg", {L"[-HKEY_LOCAL_MACHINE\\Software\\Classes]"}, 3,
       L"HKEY_LOCAL_MACHINE\\Software\\Classes", texts::kPolicyRoot},
      {"a protocol the system serves removed", L"x.reg", {L"[-" + root + L"http]"}, 3, root + L"http",
       texts::kPolicySystemKey},
      {"the user's choice of a protocol written", L"x.reg",
       {L"[" + user + kUrlChoices + L"mailto\\UserChoice]", L"\"ProgId\"=\"evil\""}, 3,
       user + kUrlChoices + L"mailto\\UserChoice", texts::kPolicyChoice},
      {"a name that climbs out of the protocols' choices", L"x.reg",
       {L"[" + user + kUrlChoices + L"..\\..\\Run]", L"\"x\"=\"evil.exe\""}, 3, user + kUrlChoices + L"..\\..\\Run",
       texts::kPolicyNotProtocol},
      {"the user's choice written", L"x.reg", {L"[" + fileExts + L".txt\\UserChoice]", L"\"ProgId\"=\"evil\""}, 3,
       fileExts + L".txt\\UserChoice", texts::kPolicyChoice},
      {"a name that climbs nowhere", L"x.reg",
       {L"[" + user + L"Software\\Classes\\..\\..\\Environment]", L"\"Path\"=\"evil\""}, 3,
       user + L"Software\\Classes\\..\\..\\Environment", texts::kPolicyBadExtension},
      {"the user's start-up programs", L"x.reg",
       {L"[" + user + L"Software\\Microsoft\\Windows\\CurrentVersion\\Run]", L"\"x\"=\"evil.exe\""}, 3,
       user + L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", texts::kPolicyOutside},
      {"the classes root itself", L"x.reg", {L"[HKEY_CLASSES_ROOT]", L"\"x\"=\"y\""}, 4, L"HKEY_CLASSES_ROOT",
       texts::kPolicyRoot},
      {"16,000 values for the class table", L"x.reg", manyValues, 3, root + L"CLSID\\{2}", texts::kPolicySystemKey},
  };
  // A key that is a link to another key: never read, written or removed through it.
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L".lnk0", HKEY_CLASSES_ROOT, L"txtfile");
  const auto before = Registry();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring path = testsupport::Written(files_ / c.fileName, RegFileOf(c.lines));
    EXPECT_EQ(MessageOf([&] { assoc::ExecuteChange(assoc::PlanRegistryFile(path, assoc::TChangeOperation::Import)); }),
              texts::CannotImport(c.fileName, texts::LineFault(c.line, texts::KeyRefused(c.key, c.reason))));
  }
  for (const std::wstring& section : {L"[" + root + L".lnk0]", L"[-" + root + L".lnk0]", L"[" + root + L".lnk0\\x]"}) {
    SCOPED_TRACE(testing::PrintToString(section));
    const std::wstring path = File(L"link.reg", {section});
    EXPECT_EQ(MessageOf([&] { assoc::ExecuteChange(assoc::PlanRegistryFile(path, assoc::TChangeOperation::Import)); }),
              texts::ChangeRefused(root + L".lnk0", texts::kPolicyLink));
  }
  // An extension's change never reaches a protocol through the file type it names.
  assoc::TChangePlan link;
  link.Subject = L".m";
  assoc::TPlanBuilder builder(link);
  builder.SetText(root + L".m", L"", L"mailto");
  builder.SetText(root + L"mailto\\shell\\open\\command", L"", L"evil.exe %1");
  const std::optional<assoc::TPolicyRefusal> refused = assoc::CheckPlan(link);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->Reason, texts::kPolicyProtocol);
  EXPECT_EQ(Registry(), before);
  EXPECT_TRUE(testsupport::FolderEntries(appData_.Path()).empty()) << "nothing was backed up either";
}

TEST_F(ChangeEngine, AFileOverTheLimitIsRefusedUnread) {
  const std::wstring path = files_ / L"huge.reg";
  {
    common::UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    size.QuadPart = static_cast<LONGLONG>(assoc::kLargestRegistryFile) + 1;
    ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
  }
  EXPECT_EQ(MessageOf([&] { assoc::PlanRegistryFile(path, assoc::TChangeOperation::Restore); }),
            texts::FileTooLarge(L"huge.reg", assoc::kLargestRegistryFile));
}

TEST_F(ChangeEngine, AFailedStepRollsBackEveryStepBeforeIt) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile", L"", REG_SZ, L"old description");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr", L"x", REG_SZ, L"leaf record");
  const auto before = Registry();
  const assoc::TChangePlan plan = assoc::PlanLink(L".tvr", L"t.exe %1", L"t.ico", 0, L"");
  // The leaf record goes, the description changes, the command's keys and value are new.
  ASSERT_GE(plan.Steps.size(), 6u);
  for (size_t k = 1; k <= plan.Steps.size(); ++k) {
    SCOPED_TRACE(k);
    size_t calls = 0;
    auto fail = assoc::WriteStep.Replace([&](const assoc::TChangeStep& step) {
      return ++calls == k ? static_cast<LONG>(ERROR_WRITE_FAULT) : assoc::WriteStep.Real(step);
    });
    try {
      assoc::ExecuteChange(plan);
      ADD_FAILURE() << "no failure";
    } catch (const assoc::EChangeFailed& e) {
      EXPECT_TRUE(e.RolledBack());
      EXPECT_EQ(e.Code(), ERROR_WRITE_FAULT);
      EXPECT_EQ(e.Message().rfind(L"キー「" + plan.Steps[k - 1].Key + L"」の", 0), 0u) << testing::PrintToString(e.Message());
      EXPECT_NE(e.Message().find(L"変更はすべて元に戻しました。"), std::wstring::npos);
    }
    EXPECT_EQ(Registry(), before);
    EXPECT_TRUE(assoc::ReadHistory().Entries.empty()) << "a change that did not happen is not recorded";
  }
  EXPECT_EQ(notices_.Count(), 0);

  // When the roll-back fails too, the message says what is left.
  size_t calls = 0;
  auto fail = assoc::WriteStep.Replace([&](const assoc::TChangeStep& step) {
    return ++calls >= 3 ? static_cast<LONG>(ERROR_WRITE_FAULT) : assoc::WriteStep.Real(step);
  });
  try {
    assoc::ExecuteChange(plan);
    ADD_FAILURE() << "no failure";
  } catch (const assoc::EChangeFailed& e) {
    EXPECT_FALSE(e.RolledBack());
    EXPECT_NE(e.Message().find(L"次の変更は元に戻せませんでした："), std::wstring::npos);
    EXPECT_NE(e.Message().find(L"・キー「" + plan.Steps[1].Key), std::wstring::npos) << testing::PrintToString(e.Message());
    EXPECT_NE(e.Message().find(L"・キー「" + plan.Steps[0].Key), std::wstring::npos);
  }
}

TEST_F(ChangeEngine, TellsWhatBecameOfTheLastChangeEvenWhileItApplies) {
  const assoc::TChangePlan plan = Link(L".tvr", L"t.exe %1");
  std::vector<std::wstring> seen;
  size_t calls = 0;
  {
    auto watch = assoc::WriteStep.Replace([&](const assoc::TChangeStep& step) {
      seen.push_back(assoc::LastChangeState());
      return ++calls == 3 ? static_cast<LONG>(ERROR_WRITE_FAULT) : assoc::WriteStep.Real(step);
    });
    EXPECT_THROW(assoc::ExecuteChange(plan), assoc::EChangeFailed);
  }
  ASSERT_FALSE(seen.empty());
  EXPECT_NE(seen[0].find(L"拡張子「.tvr」の登録を適用している途中でした"), std::wstring::npos)
      << testing::PrintToString(seen[0]);
  EXPECT_NE(seen[0].find(L"バックアップ「20261210-093000-000 .tvr 登録.reg」"), std::wstring::npos);
  EXPECT_EQ(assoc::LastChangeState(), L"最後の変更（拡張子「.tvr」の登録）は失敗し、すべて元に戻してあります。");
  assoc::ExecuteChange(plan);
  EXPECT_EQ(assoc::LastChangeState(),
            L"最後の変更（拡張子「.tvr」の登録）はすべて適用されています。レジストリが途中の状態になっていることはありません。");
}

TEST_F(ChangeEngine, AProtocolsKeysAndItsUsersChoiceImportAndUndo) {
  const std::wstring root = L"HKEY_CLASSES_ROOT\\";
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUrlChoices) + L"mailto\\UserChoice", L"ProgId", REG_SZ, L"mail");
  const auto before = Registry();
  const std::wstring path = File(L"protocols.reg", {L"[" + root + L"mailto\\shell\\open\\command]",
                                                    L"@=\"newmail.exe %1\"",
                                                    L"[-HKEY_CURRENT_USER\\" + std::wstring(kUrlChoices) + L"mailto]",
                                                    L"[" + root + L"tvrproto]",
                                                    L"@=\"URL:tvr\"",
                                                    L"\"URL Protocol\"=\"\"",
                                                    L"[" + root + L"tvrproto\\shell\\open\\command]",
                                                    L"@=\"t.exe %1\""});
  const assoc::TChangePlan plan = assoc::PlanRegistryFile(path, assoc::TChangeOperation::Import);
  EXPECT_EQ(plan.Protocols, (std::vector<std::wstring>{L"mailto", L"tvrproto"}));
  assoc::ExecuteChange(plan);
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command").text, L"newmail.exe %1");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"tvrproto\\shell\\open\\command"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUrlChoices) + L"mailto"));

  std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  assoc::ApplyHistoryMove(*undo);
  // All but the choice, which only Windows can write: once it has, the tree is as it was.
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUrlChoices) + L"mailto\\UserChoice"));
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUrlChoices) + L"mailto\\UserChoice", L"ProgId", REG_SZ, L"mail");
  EXPECT_EQ(Registry(), before);

}

TEST_F(ChangeEngine, AKeyChangedAfterThePreviewStopsTheChangeAndLeavesWhatIsThere) {
  struct Case {
    const char* what;
    bool unlink;
    std::function<void()> meddle;
    std::wstring key;  // the step that finds it changed
  };
  const std::wstring root = L"HKEY_CLASSES_ROOT\\";
  const Case cases[] = {
      {"a key the change makes appears", false, [] { WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"x"); },
       root + L".tvr"},
      {"a value the change sets is set by someone else",
       false, [] { WriteValue(HKEY_CLASSES_ROOT, L"tvrFile", L"", REG_SZ, L"theirs"); }, root + L"tvrFile"},
      {"a value comes into a key the change removes", true,
       [] { WriteValue(HKEY_CLASSES_ROOT, L"tvrFile", L"added", REG_SZ, L"keep me"); }, root + L"tvrFile"},
      {"a key comes below a key the change removes", true,
       [] { testsupport::CreateKey(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command\\new"); },
       root + L"tvrFile\\shell\\open\\command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tvr");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"tvrFile");
    if (c.unlink) {
      WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
      WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"t.exe %1");
    } else {
      WriteValue(HKEY_CLASSES_ROOT, L"tvrFile", L"", REG_SZ, L"mine");
    }
    TLinkExtention::TUnlinkResult judged;
    const assoc::TChangePlan plan = c.unlink ? assoc::PlanUnlink(L".tvr", judged) : Link(L".tvr", L"t.exe %1");
    c.meddle();
    const auto meddled = Registry();
    try {
      assoc::ExecuteChange(plan);
      ADD_FAILURE() << "applied";
    } catch (const assoc::EChangeFailed& e) {
      EXPECT_EQ(e.Message(), texts::KeyChangedSincePlanned(c.key));
      EXPECT_TRUE(e.RolledBack());
    }
    EXPECT_EQ(Registry(), meddled);
    EXPECT_TRUE(assoc::ReadHistory().Entries.empty());
  }
}

TEST_F(ChangeEngine, AnUndoIsJudgedByThePolicyAsTheRegistryIsNow) {
  assoc::ExecuteChange(Link(L".tvr", L"t.exe %1"));
  std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  // Since then the file type became a COM class's ProgID: the planned undo is refused when it
  // would apply, and so is a new plan of it.
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\CLSID", L"", REG_SZ, L"{9}");
  const auto now = Registry();
  const std::wstring applied = MessageOf([&] { assoc::ApplyHistoryMove(*undo); });
  EXPECT_NE(applied.find(texts::kPolicyComClass), std::wstring::npos) << testing::PrintToString(applied);
  const std::wstring planned = MessageOf([] { assoc::PlanUndo(); });
  EXPECT_NE(planned.find(undo->Entry.UndoFile), std::wstring::npos) << testing::PrintToString(planned);
  EXPECT_NE(planned.find(texts::kPolicyComClass), std::wstring::npos) << testing::PrintToString(planned);
  EXPECT_EQ(Registry(), now);
  EXPECT_EQ(assoc::ReadHistory().Position, 1u);
}

TEST_F(ChangeEngine, UndoTakesOnlyTheHistorysOwnTrustedFiles) {
  assoc::ExecuteChange(Link(L".tvr", L"t.exe %1"));
  const auto registered = Registry();
  // A file planted with the newest name is nothing to undo.
  testsupport::Written(assoc::BackupFolder() + L"\\99991231-235959-999 .x 登録.reg",
                       RegFileOf({L"[-HKEY_CLASSES_ROOT\\txtfile]"}));
  std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  EXPECT_EQ(undo->Entry.Subject, L".tvr");
  assoc::ApplyHistoryMove(*undo);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"txtfile"));
  EXPECT_FALSE(assoc::PlanUndo()) << "undo never records itself";
  std::optional<assoc::THistoryMove> redo = assoc::PlanRedo();
  ASSERT_TRUE(redo);
  assoc::ApplyHistoryMove(*redo);
  EXPECT_EQ(Registry(), registered);

  // Files that someone other than the tool wrote (the same bytes, without the tool's owner and
  // access list) are not used.
  const std::wstring history = assoc::BackupFolder() + L"\\history.txt";
  const std::wstring undoFile = assoc::ReadHistory().Entries.at(0).UndoFile;
  auto plant = [](const std::wstring& path) {
    const std::string bytes = testsupport::ReadBytes(path);
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    testsupport::WriteBytes(path, bytes);
  };
  plant(assoc::BackupFolder() + L"\\" + undoFile);
  EXPECT_EQ(MessageOf([] { assoc::PlanUndo(); }), texts::BackupNotTrusted(undoFile));
  plant(history);
  std::wstring note;
  EXPECT_FALSE(assoc::PlanUndo(&note));
  EXPECT_EQ(note, texts::HistoryNotTrusted(history));
  EXPECT_EQ(Registry(), registered);
}

TEST_F(ChangeEngine, AFileOfTheWholeTreeAsItIsPlansNothingAndAChangeOnlyItsDifference) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"t.exe %1");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\DefaultIcon", L"", REG_SZ, L"t.ico,0");
  // A backup of the kind older versions took: each key removed, then the whole tree again.
  assoc::TRegDocument snapshot;
  assoc::AppendKeySnapshot(L"HKEY_CLASSES_ROOT\\.tvr", snapshot);
  assoc::AppendKeySnapshot(L"HKEY_CLASSES_ROOT\\tvrFile", snapshot);
  const std::string bytes = assoc::WriteRegFile(snapshot);
  const std::wstring path = testsupport::Written(files_ / L"old.reg", bytes);
  EXPECT_TRUE(assoc::PlanRegistryFile(path, assoc::TChangeOperation::Restore).Steps.empty());

  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"changed.exe %1");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"added", REG_SZ, L"x");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\edit", L"", REG_SZ, L"added key");
  const assoc::TChangePlan plan = assoc::PlanRegistryFile(path, assoc::TChangeOperation::Restore);
  std::vector<std::pair<assoc::TStepKind, std::wstring>> steps;
  for (const auto& step : plan.Steps) steps.emplace_back(step.Kind, step.Key + L"|" + step.Value);
  const std::wstring command = L"HKEY_CLASSES_ROOT\\tvrFile\\shell\\open\\command|";
  // In the registry's order of the keys below the removed ones.
  EXPECT_EQ(steps, (std::vector<std::pair<assoc::TStepKind, std::wstring>>{
                       {assoc::TStepKind::DeleteKey, L"HKEY_CLASSES_ROOT\\tvrFile\\shell\\edit|"},
                       {assoc::TStepKind::SetValue, command},
                       {assoc::TStepKind::DeleteValue, command + L"added"},
                   }));
  const assoc::TPreview preview = assoc::PreviewOf(plan);
  EXPECT_EQ(preview.Summary, L"追加 0 件、変更 1 件、削除 2 件");
  EXPECT_EQ(assoc::StepLine(plan.Steps.at(1)), L"変更　HKEY_CLASSES_ROOT\\tvrFile\\shell\\open\\command の値（既定）："
                                 L"「changed.exe %1」 → 「t.exe %1」");
}

TEST_F(ChangeEngine, UndoAfterARestartReadsEachOwnerAnewAndWindowsRuleTrustsNothingWineWrote) {
  const auto before = Registry();
  assoc::ExecuteChange(Link(L".tvr", L"t.exe %1"));
  const auto registered = Registry();
  // No state of the change's process is left to reset: every call below opens the store anew and
  // reads each file's owner through the handle that reads the file, with no seam answering.
  std::wstring note;
  std::optional<assoc::THistoryMove> undo = assoc::PlanUndo(&note);
  EXPECT_EQ(note, L"");
  ASSERT_TRUE(undo);
  assoc::ApplyHistoryMove(*undo);
  EXPECT_EQ(Registry(), before);

  // Held to the rule of Windows (owner Administrators or SYSTEM), the files Wine wrote are all
  // refused: the rule of a platform without owners is not "trust every file".
  if (!common::FileOwnersKept.Real()) {
    auto windows = common::FileOwnersKept.Replace([] { return true; });
    EXPECT_EQ(MessageOf([] { assoc::PlanRedo(); }),
              texts::BackupFailed(texts::CannotSecureFolder(appData_ / L"Tavrelo")));
    EXPECT_TRUE(assoc::ReadHistory(&note).Entries.empty());
    EXPECT_EQ(note, texts::HistoryNotTrusted(assoc::BackupFolder() + L"\\history.txt"));
  }
  std::optional<assoc::THistoryMove> redo = assoc::PlanRedo();
  ASSERT_TRUE(redo);
  assoc::ApplyHistoryMove(*redo);
  EXPECT_EQ(Registry(), registered);
}

TEST_F(ChangeEngine, AHistoryThatCannotRecordAChangeLetsNothingApply) {
  const std::wstring folder = assoc::BackupFolder();
  const std::wstring history = folder + L"\\history.txt";
  // A folder where the new history would be written first.
  const std::wstring blocker = history + L".new";
  const std::wstring unrecorded = texts::HistoryNotWritten(texts::CannotWriteFile(history));
  static_cast<void>(assoc::OpenBackupStore());
  ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
  const auto before = Registry();
  const std::wstring message = MessageOf([&] { assoc::ExecuteChange(Link(L".tvr", L"t.exe %1")); });
  EXPECT_EQ(message, unrecorded);
  EXPECT_EQ(message.find(L"変更は行いましたが"), std::wstring::npos);
  EXPECT_EQ(Registry(), before);
  EXPECT_EQ(notices_.Count(), 0);
  EXPECT_EQ(testsupport::FolderEntries(folder), std::vector<std::wstring>{L"history.txt.new"}) << "no stray backup";

  // An undo the history cannot record is not applied either.
  ASSERT_TRUE(RemoveDirectoryW(blocker.c_str()));
  assoc::ExecuteChange(Link(L".tvr", L"t.exe %1"));
  const auto registered = Registry();
  std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
  EXPECT_EQ(MessageOf([&] { assoc::ApplyHistoryMove(*undo); }), unrecorded);
  EXPECT_EQ(Registry(), registered);
  EXPECT_EQ(assoc::ReadHistory().Position, 1u);
  ASSERT_TRUE(RemoveDirectoryW(blocker.c_str()));

  // An undo that fails and is rolled back puts the position back.
  {
    auto fail = assoc::WriteStep.Replace([](const assoc::TChangeStep&) { return static_cast<LONG>(ERROR_WRITE_FAULT); });
    EXPECT_THROW(assoc::ApplyHistoryMove(*undo), assoc::EChangeFailed);
  }
  EXPECT_EQ(Registry(), registered);
  EXPECT_EQ(assoc::ReadHistory().Position, 1u);

  // When the record of a rolled-back change cannot be taken out, it stays; its undo, planned
  // against the registry as it is, changes nothing.
  {
    auto fail = assoc::WriteStep.Replace([&](const assoc::TChangeStep&) {
      CreateDirectoryW(blocker.c_str(), nullptr);
      return static_cast<LONG>(ERROR_WRITE_FAULT);
    });
    EXPECT_THROW(assoc::ExecuteChange(Link(L".abc", L"a.exe %1")), assoc::EChangeFailed);
  }
  ASSERT_TRUE(RemoveDirectoryW(blocker.c_str()));
  EXPECT_EQ(Registry(), registered);
  const assoc::THistory kept = assoc::ReadHistory();
  ASSERT_EQ(kept.Entries.size(), 2u);
  EXPECT_EQ(kept.Entries[1].Subject, L".abc");
  undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  EXPECT_TRUE(undo->Plan.Steps.empty());
}

TEST_F(ChangeEngine, AnOlderHistoryMovesOnceWithOnlyTheFilesTheToolWrote) {
  testsupport::TempFolder local;
  auto older = assoc::LocalAppDataFolder.Replace([&] { return local.Path(); });
  const std::wstring old = local / L"Tavrelo\\Backups";
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, old.c_str(), nullptr), ERROR_SUCCESS);
  WriteValue(HKEY_CLASSES_ROOT, L".one", L"", REG_SZ, L"oneFile");
  WriteValue(HKEY_CLASSES_ROOT, L".two", L"", REG_SZ, L"twoFile");
  assoc::THistory history;
  history.Entries = {EntryOf(L".one", L"one.reg", L"one redo.reg"), EntryOf(L".two", L"two.reg", L"two redo.reg")};
  history.Position = 2;
  const std::string text = assoc::FormatHistory(history);
  WriteAsOlderVersion(old + L"\\two.reg", RegFileOf({L"[-HKEY_CLASSES_ROOT\\.two]"}));
  WriteAsOlderVersion(old + L"\\two redo.reg", RegFileOf({L"[HKEY_CLASSES_ROOT\\.two]", L"@=\"twoFile\""}));
  // Written by someone else: it would take away the text files' type.
  testsupport::WriteBytes(old + L"\\one.reg", RegFileOf({L"[-HKEY_CLASSES_ROOT\\txtfile]"}));

  // A history someone else wrote moves nothing.
  testsupport::WriteBytes(old + L"\\history.txt", text);
  std::wstring note;
  EXPECT_FALSE(assoc::PlanUndo(&note));
  EXPECT_EQ(note, L"");
  EXPECT_EQ(testsupport::FolderEntries(assoc::BackupFolder()), std::vector<std::wstring>{});

  ASSERT_TRUE(DeleteFileW((old + L"\\history.txt").c_str()));
  WriteAsOlderVersion(old + L"\\history.txt", text);
  const std::vector<std::wstring> oldFiles = testsupport::FolderEntries(old);
  std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  EXPECT_EQ(undo->Entry.Subject, L".two");
  assoc::ApplyHistoryMove(*undo);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".two"));
  EXPECT_EQ(MessageOf([] { assoc::PlanUndo(); }), texts::BackupMissing(L"one.reg"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command"));
  EXPECT_EQ(testsupport::FolderEntries(assoc::BackupFolder()),
            (std::vector<std::wstring>{L"history.txt", L"two redo.reg", L"two.reg"}));
  EXPECT_EQ(testsupport::FolderEntries(old), oldFiles) << "the old folder is left as it is";
  EXPECT_EQ(testsupport::ReadBytes(old + L"\\history.txt"), text);

  // Once the store has a history, the old one is never taken again.
  static_cast<void>(assoc::OpenBackupStore());
  EXPECT_EQ(assoc::ReadHistory().Position, 1u);
}

TEST_F(ChangeEngine, ABackupsFolderSwappedBetweenChangesIsNeitherReadNorLeftUnheldDuringOne) {
  const std::wstring backups = appData_ / L"Tavrelo\\Backups";
  const std::wstring away = appData_ / L"Tavrelo\\Away";
  assoc::ExecuteChange(Link(L".tvr", L"t.exe %1"));
  // While a change applies, no level of its store can be moved away.
  size_t calls = 0;
  {
    auto watch = assoc::WriteStep.Replace([&](const assoc::TChangeStep& step) {
      if (calls++ == 0) {
        EXPECT_FALSE(MoveFileW(backups.c_str(), away.c_str()));
        EXPECT_FALSE(MoveFileW(assoc::BackupFolder().c_str(), (backups + L"\\away").c_str()));
      }
      return assoc::WriteStep.Real(step);
    });
    assoc::ExecuteChange(Link(L".abc", L"a.exe %1"));
  }
  ASSERT_GT(calls, 0u);
  const auto changed = Registry();

  // Between changes a program moves it away and plants another, whose history names a backup
  // that would take away the text files' type.
  ASSERT_TRUE(MoveFileW(backups.c_str(), away.c_str()));
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, assoc::BackupFolder().c_str(), nullptr), ERROR_SUCCESS);
  assoc::THistory planted;
  planted.Entries = {EntryOf(L".txt", L"evil.reg", L"evil redo.reg")};
  planted.Position = 1;
  const std::wstring history = assoc::BackupFolder() + L"\\history.txt";
  testsupport::WriteBytes(history, assoc::FormatHistory(planted));
  testsupport::WriteBytes(assoc::BackupFolder() + L"\\evil.reg", RegFileOf({L"[-HKEY_CLASSES_ROOT\\txtfile]"}));
  if (common::FileOwnersKept()) {
    // Owned by the user who made it: refused whole.
    EXPECT_EQ(MessageOf([] { assoc::PlanUndo(); }), texts::BackupFailed(texts::CannotSecureFolder(backups)));
  } else {
    // Wine cannot tell who made the folder; its files are still not the tool's.
    std::wstring note;
    EXPECT_FALSE(assoc::PlanUndo(&note));
    EXPECT_EQ(note, texts::HistoryNotTrusted(history));
  }
  EXPECT_EQ(Registry(), changed);
}

}  // namespace
