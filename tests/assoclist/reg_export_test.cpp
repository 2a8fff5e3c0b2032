// The registry file of selected rows taken back in by the system's registry editor and by the
// tool's own import, each into a tree that lacks the rows' keys: both make the tree the rows
// came from, and neither brings a row that was not selected.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/shell_assoc.h"
#include "assoclist/assoc_rows.h"
#include "assoclist/reg_export.h"
#include "common/handles.h"
#include "list_fixture.h"
#include "support/registry_editor.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using listtest::Machine;
using listtest::Write;

const std::wstring kDocument = L"Tavrelo.往復.文書";
const std::wstring kSketch = L"Tavrelo.RoundTrip.Sketch";
const std::wstring kLeftOutType = L"Tavrelo.RoundTrip.LeftOut";

// The registry editor imports into the prefix's own classes, so every key here has a name that
// no prefix holds otherwise.
const std::vector<std::wstring> kCarried = {L".tavrt-doc", kDocument, L".tavrt-sketch", kSketch, L".tavrt-bare",
                                           L"tavrt-proto"};
const std::vector<std::wstring> kLeftOut = {L".tavrt-left", kLeftOutType};

// Three extensions: one whose file type holds every value type, verbs (one named in Japanese)
// and an icon; one whose file type holds binary and multi-string values; one without a file
// type, offering both file types in Windows' list of programs. And a protocol of its own.
std::vector<Write> Carried() {
  return {
      {Machine, L".tavrt-doc", L"", kDocument},
      {Machine, L".tavrt-doc", L"Content Type", L"text/x-tavrelo"},
      {Machine, L".tavrt-doc\\OpenWithProgids", kSketch.c_str(), L"", REG_NONE},
      {Machine, kDocument, L"", L"往復テストの文書"},
      {Machine, kDocument, L"FriendlyTypeName", L"@%SystemRoot%\\system32\\shell32.dll,-100", REG_EXPAND_SZ},
      {Machine, kDocument, L"EditFlags", L"65536", REG_DWORD},
      {Machine, kDocument + L"\\DefaultIcon", L"", L"%SystemRoot%\\system32\\shell32.dll,3", REG_EXPAND_SZ},
      {Machine, kDocument + L"\\shell", L"", L"open"},
      {Machine, kDocument + L"\\shell\\open\\command", L"", L"\"%SystemRoot%\\system32\\notepad.exe\" \"%1\"",
       REG_EXPAND_SZ},
      {Machine, kDocument + L"\\shell\\印刷", L"", L"印刷(&P)"},
      {Machine, kDocument + L"\\shell\\印刷\\command", L"", L"notepad.exe /p \"%1\""},
      {Machine, L".tavrt-sketch", L"", kSketch},
      {Machine, kSketch, L"EditFlags", std::wstring(L"\x0000\x0001\xff7f", 3), REG_BINARY},
      {Machine, kSketch, L"拡張子の一覧", std::wstring(L".tavrt-doc\0.tavrt-sketch\0\0", 26), REG_MULTI_SZ},
      {Machine, kSketch + L"\\shell\\edit\\command", L"", L"write.exe \"%1\""},
      {Machine, L".tavrt-bare\\OpenWithProgids", kDocument.c_str(), L"", REG_NONE},
      {Machine, L".tavrt-bare\\OpenWithProgids", kSketch.c_str(), L"", REG_NONE},
      {Machine, L"tavrt-proto", L"", L"URL:往復"},
      {Machine, L"tavrt-proto", L"URL Protocol", L""},
      {Machine, L"tavrt-proto\\shell\\open\\command", L"", L"notepad.exe \"%1\""},
  };
}

std::vector<Write> LeftOut() {
  return {
      {Machine, L".tavrt-left", L"", kLeftOutType},
      {Machine, kLeftOutType + L"\\shell\\open\\command", L"", L"notepad.exe \"%1\""},
  };
}

// Each key of kCarried and kLeftOut below HKEY_CLASSES_ROOT with everything below it, one line
// each (testsupport::Snapshot), or "<absent>".
std::wstring ClassesTree() {
  std::wstring tree;
  for (const std::vector<std::wstring>* names : {&kCarried, &kLeftOut}) {
    for (const std::wstring& name : *names) {
      common::UniqueHKey key;
      if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        tree += name + L" <absent>\n";
        continue;
      }
      for (const std::wstring& line : testsupport::Snapshot(key.get())) tree += name + L" " + line + L"\n";
    }
  }
  return tree;
}

// Removes the keys from whatever HKEY_CLASSES_ROOT is now.
void RemoveKeys() {
  for (const std::vector<std::wstring>* names : {&kCarried, &kLeftOut})
    for (const std::wstring& name : *names) RegDeleteTreeW(HKEY_CLASSES_ROOT, name.c_str());
}

// Outside any sandbox the keys are the prefix's own: removed before (left by a run that broke
// off) and after.
class RegExportRoundTrip : public testing::Test {
 protected:
  RegExportRoundTrip() { RemoveKeys(); }
  ~RegExportRoundTrip() override { RemoveKeys(); }

  testsupport::TempFolder files_, appData_;
  common::Seam<std::wstring()>::Scope folder_ = assoc::MachineDataFolder.Replace([this] { return appData_.Path(); });
  common::Seam<void()>::Scope quiet_ = assoc::NotifyAssocChanged.Replace([] {});
};

TEST_F(RegExportRoundTrip, TheRegistryEditorAndTheToolBothMakeTheTreeTheSelectedRowsCameFrom) {
  const std::wstring file = files_ / L"selected.reg";
  std::wstring original, tool;
  {
    testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
    ASSERT_TRUE(sandbox.Ok());
    listtest::Apply(Carried());
    original = ClassesTree();
    listtest::Apply(LeftOut());

    const std::vector<assoclist::AssocRow> rows = assoclist::ReadAssociationRows();
    std::vector<const assoclist::AssocRow*> selected;
    for (const assoclist::AssocRow& row : rows)
      if (row.key != L".tavrt-left") selected.push_back(&row);
    ASSERT_EQ(selected.size(), 4u);
    testsupport::WriteBytes(file, assoclist::RegExportBytes(selected));

    RemoveKeys();
    assoc::ExecuteChange(assoc::PlanRegistryFile(file, assoc::TChangeOperation::Import));
    tool = ClassesTree();
  }

  ASSERT_EQ(testsupport::RunRegistryEditor(L"/S \"" + file + L"\""), 0u);
  const std::wstring editor = ClassesTree();
  EXPECT_EQ(tool, original) << "the tool's import";
  EXPECT_EQ(editor, original) << "the registry editor's import";
  EXPECT_EQ(editor, tool);
}

}  // namespace
