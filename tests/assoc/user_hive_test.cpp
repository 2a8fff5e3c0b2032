// Whose associations: when the desktop runs as another account than the tool (a session elevated
// with an administrator's password), every per-user read and write goes to that account's hive,
// and nothing per-user is touched when its hive is not loaded.
#include "assoc/user_hive.h"

#include <gtest/gtest.h>

#include <string>

#include "assoc/assoc_resolver.h"
#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/change_history.h"
#include "assoc/change_policy.h"
#include "assoc/store_fixture.h"
#include "assoc/user_override.h"
#include "assoclist/assoc_rows.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using testsupport::KeyExists;
using testsupport::WriteValue;

constexpr wchar_t kDesktop[] = L"S-1-5-21-7-7-7-1001";
constexpr wchar_t kChoice[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tvr\\UserChoice";

class DesktopAccount : public testing::Test {
 protected:
  DesktopAccount() {
    // The machine's classic record, the desktop account's choice and per-user class record, and a
    // different choice in the tool's own hive, which must count for nothing.
    WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
    WriteValue(HKEY_CLASSES_ROOT, L"tvrFile\\shell\\open\\command", L"", REG_SZ, L"classic.exe %1");
    WriteValue(HKEY_CLASSES_ROOT, L"Viewer.Doc\\shell\\open\\command", L"", REG_SZ, L"viewer.exe %1");
    WriteValue(HKEY_USERS, std::wstring(kDesktop) + kChoice, L"ProgId", REG_SZ, L"Viewer.Doc");
    WriteValue(HKEY_USERS, std::wstring(kDesktop) + L"_Classes\\.tvr", L"", REG_SZ, L"Viewer.Doc");
    WriteValue(HKEY_CURRENT_USER, std::wstring(kChoice).substr(1), L"ProgId", REG_SZ, L"Admin.Doc");
  }

  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
  assoctest::NoticeCounter notices_;
  testsupport::TempFolder data_;
  common::Seam<std::wstring()>::Scope folder_ = assoc::MachineDataFolder.Replace([this] { return data_.Path(); });
  common::Seam<std::optional<std::wstring>()>::Scope desktop_ =
      assoc::DesktopAccountSid.Replace([] { return std::optional<std::wstring>(kDesktop); });
};

TEST_F(DesktopAccount, ReadsAndChangesTheDesktopAccountsRecordsNotTheToolsOwn) {
  const assoc::TTargetAccount target = assoc::TargetAccount();
  EXPECT_EQ(target.Sid, kDesktop);
  EXPECT_FALSE(target.Self);
  EXPECT_TRUE(target.Loaded);
  EXPECT_EQ(assoc::TargetTitle(target), L"（対象: " + target.Name + L"）");

  // What Explorer uses, for the list and the main window alike.
  const assoc::EffectiveAssociation found = assoc::ResolveAssociation(L".tvr");
  EXPECT_EQ(found.source, assoc::AssocSource::UserChoice);
  EXPECT_EQ(found.fileType, L"Viewer.Doc");
  EXPECT_EQ(found.userClassesFileType, L"Viewer.Doc");
  EXPECT_EQ(found.program, L"viewer.exe");
  bool listed = false;
  for (const assoclist::AssocRow& row : assoclist::ReadAssociationRows(false))
    if (row.key == L".tvr") {
      listed = true;
      EXPECT_NE(row.cells[assoclist::kExplorer].find(L"viewer.exe"), std::wstring::npos)
          << testing::PrintToString(row.cells[assoclist::kExplorer]);
    }
  EXPECT_TRUE(listed);

  // The removal of the choice and the per-user class record: the desktop account's, recorded under
  // its name in its own store; the tool's own hive keeps its choice.
  assoc::ExecuteChange(assoc::PlanRemoveUserOverride(L".tvr", assoc::OverrideOf(found)));
  EXPECT_FALSE(KeyExists(HKEY_USERS, std::wstring(kDesktop) + kChoice));
  EXPECT_FALSE(KeyExists(HKEY_USERS, std::wstring(kDesktop) + L"_Classes\\.tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kChoice).substr(1)));
  EXPECT_NE(assoc::BackupFolder().find(kDesktop), std::wstring::npos);
  const assoc::THistory history = assoc::ReadHistory();
  ASSERT_EQ(history.Entries.size(), 1u);
  EXPECT_EQ(history.Entries[0].Account, target.Name);
  EXPECT_EQ(assoc::ResolveAssociation(L".tvr").source, assoc::AssocSource::MachineClasses);
}

TEST_F(DesktopAccount, AnAccountWhoseHiveIsNotLoadedHasNothingPerUserReadOrWritten) {
  auto away = assoc::DesktopAccountSid.Replace([] { return std::optional<std::wstring>(L"S-1-5-21-7-7-7-1002"); });
  const assoc::TTargetAccount target = assoc::TargetAccount();
  EXPECT_FALSE(target.Self);
  EXPECT_FALSE(target.Loaded);
  EXPECT_NE(assoc::TargetTitle(target).find(L"サインインしていません"), std::wstring::npos);
  EXPECT_EQ(assoc::ResolveAssociation(L".tvr").source, assoc::AssocSource::MachineClasses);

  assoc::TChangePlan plan;
  plan.Operation = assoc::TChangeOperation::RemoveUserChoice;
  plan.Subject = L".tvr";
  assoc::TPlanBuilder builder(plan);
  builder.DeleteTree(L"HKEY_CURRENT_USER\\Software\\Classes\\.tvr");
  builder.SetText(L"HKEY_CURRENT_USER" + std::wstring(kChoice) + L"\\x", L"", L"y");
  const std::optional<assoc::TPolicyRefusal> refusal = assoc::CheckPlan(plan);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->Reason, assoc::texts::kPolicyHiveNotLoaded);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kChoice).substr(1)));
}

}  // namespace
