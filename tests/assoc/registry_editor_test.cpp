// Our registry files against the system's registry editor (regedit.exe), both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/reg_file.h"
#include "assoc/reg_snapshot.h"
#include "assoc/store_fixture.h"
#include "assoc/value_rows.h"
#include "common/handles.h"
#include "support/registry_editor.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using assoctest::EditorExport;
using assoctest::TreeDump;
using assoctest::ValueRow;

// The editor runs as a child process: it shares the test prefix's registry but not this
// process's sandbox (RegOverridePredefKey), so these tests work in a throw-away key of their own
// below the real HKEY_CURRENT_USER\Software\TavreloTestSandbox and remove it again. They use no
// managed key, so they touch none of the prefix's classes.
class RegistryEditor : public testing::Test {
 protected:
  RegistryEditor()
      : base_(L"Software\\TavreloTestSandbox\\editor-" + std::to_wstring(GetCurrentProcessId())),
        full_(L"HKEY_CURRENT_USER\\" + base_) {
    RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
  }
  ~RegistryEditor() override { RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str()); }

  // Creates key (below base_) with the rows' values.
  void MakeKey(const std::wstring& key, const std::vector<ValueRow>& rows) {
    common::UniqueHKey handle;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\" + key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, handle.put(), nullptr),
              ERROR_SUCCESS);
    assoctest::WriteRows(handle.get(), rows);
  }

  // Keys whose names the file's brackets and separators must not confuse.
  void MakeNamedKeys() {
    for (const wchar_t* name : {L"a]b", L"x=y", L"[open", L"-lead", L" sp ", L"日本", L"\"q\""})
      testsupport::WriteValue(HKEY_CURRENT_USER, base_ + L"\\names\\" + name, L"v", REG_SZ, name);
    testsupport::CreateKey(HKEY_CURRENT_USER, base_ + L"\\names\\empty");
  }

  const std::wstring base_;
  const std::wstring full_;
  testsupport::TempFolder files_;
};

std::vector<ValueRow> RowsWhere(bool (*take)(const ValueRow&)) {
  std::vector<ValueRow> rows;
  for (ValueRow& row : assoctest::ValueRows())
    if (take(row)) rows.push_back(std::move(row));
  return rows;
}

TEST_F(RegistryEditor, ItsExportIsOursByteForByteAndOurReaderRestoresItExactly) {
  // Kept out: the editor writes REG_SZ as text up to its first NUL and trusts a terminator to
  // end it (a NUL inside, an odd byte count, no terminator or no bytes at all come out other
  // than they are), and a REG_DWORD as four bytes whatever its size.
  MakeKey(L"same", RowsWhere([](const ValueRow& r) { return r.editorExport == EditorExport::Same; }));
  // It writes line breaks in text as \r and \n, which our reader takes; we write hex(1).
  MakeKey(L"equivalent", RowsWhere([](const ValueRow& r) { return r.editorExport == EditorExport::Equivalent; }));
  MakeNamedKeys();
  const std::wstring before = TreeDump(HKEY_CURRENT_USER, base_);

  const std::wstring sameFile = files_ / L"same.reg";
  ASSERT_EQ(testsupport::RunRegistryEditor(L"/E \"" + sameFile + L"\" \"" + full_ + L"\\same\""), 0u);
  assoc::TRegDocument ours;
  assoc::AppendKeySnapshot(full_ + L"\\same", ours);
  ours.Keys.erase(ours.Keys.begin());  // the removal that opens a backup; the editor writes none
  EXPECT_EQ(testsupport::ReadBytes(sameFile), assoc::WriteRegFile(ours));

  const std::wstring wholeFile = files_ / L"whole.reg";
  ASSERT_EQ(testsupport::RunRegistryEditor(L"/E \"" + wholeFile + L"\" \"" + full_ + L"\""), 0u);
  const assoc::TRegDocument theirs = assoc::ReadRegFile(testsupport::ReadBytes(wholeFile));
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str()), ERROR_SUCCESS);
  assoctest::ApplyDocument(theirs);
  EXPECT_EQ(assoctest::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, base_)), L"");
}

TEST_F(RegistryEditor, ImportsOurFileToTheIdenticalTreeRemovingWhatWasAddedSince) {
  MakeKey(L"values", RowsWhere([](const ValueRow& r) { return r.editorImportFault == nullptr; }));
  MakeNamedKeys();
  const std::wstring before = TreeDump(HKEY_CURRENT_USER, base_);
  assoc::TRegDocument document;
  assoc::AppendKeySnapshot(full_, document);
  const std::wstring file = files_ / L"ours.reg";
  testsupport::WriteBytes(file, assoc::WriteRegFile(document));

  // What a change would do afterwards: a new key, a new value, a changed one, a removed one.
  testsupport::CreateKey(HKEY_CURRENT_USER, base_ + L"\\added\\below");
  testsupport::WriteValue(HKEY_CURRENT_USER, base_ + L"\\values", L"added", REG_SZ, L"x");
  testsupport::WriteValue(HKEY_CURRENT_USER, base_ + L"\\values", L"sz", REG_DWORD, L"7");
  RegDeleteTreeW(HKEY_CURRENT_USER, (base_ + L"\\names").c_str());
  ASSERT_NE(TreeDump(HKEY_CURRENT_USER, base_), before);

  EXPECT_EQ(testsupport::RunRegistryEditor(L"/S \"" + file + L"\""), 0u);
  EXPECT_EQ(assoctest::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, base_)), L"");
}

}  // namespace
