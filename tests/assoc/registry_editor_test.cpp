// Our registry files against the system's registry editor (regedit.exe), both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/encoded_files.h"
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
using testsupport::TreeDump;
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
  EXPECT_EQ(testsupport::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, base_)), L"");
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
  EXPECT_EQ(testsupport::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, base_)), L"");
}

// Every encoding and header a file comes in, imported by the editor and by our reader into a
// tree without the keys. The editor takes a file in any other encoding or under any other header
// as no registry file and imports nothing, and our reader refuses it. Left out: string-typed hex
// in 8-bit files under "Windows Registry Editor Version 5.00" and in UTF-16 files under
// "REGEDIT4", whose bytes Wine's editor takes by the file's encoding (8-bit text, UTF-16), where
// the editor of Windows takes them by the header (UTF-16, 8-bit text) and our reader does too.
TEST_F(RegistryEditor, ImportsEachEncodingAndHeaderToTheTreeOurReaderMakes) {
  ASSERT_EQ(GetACP(), 932u) << "the tests run under LC_ALL=ja_JP.UTF-8";
  using assoctest::Encoding;
  const std::wstring v5 = L"Windows Registry Editor Version 5.00";
  const std::wstring v4 = L"REGEDIT4";
  struct Case {
    const char* what;
    std::wstring header;
    Encoding encoding;
    bool withStringHex;
    bool read;  // whether the editor imports it and our reader reads it
  };
  const Case cases[] = {
      {"UTF-16 with its mark", v5, Encoding::Utf16, true, true},
      {"8-bit in the ANSI code page", v5, Encoding::Ansi, false, true},
      {"UTF-8 without its mark, read in the ANSI code page", v5, Encoding::Utf8, false, true},
      {"REGEDIT4 in the ANSI code page", v4, Encoding::Ansi, true, true},
      {"REGEDIT4 in UTF-16", v4, Encoding::Utf16, false, true},
      {"REGEDIT4 after blanks", L"\t " + v4, Encoding::Ansi, true, true},
      {"UTF-8 with its mark", v5, Encoding::Utf8WithMark, true, false},
      {"UTF-16 without its mark", v5, Encoding::Utf16WithoutMark, true, false},
      {"big-endian UTF-16", v5, Encoding::Utf16BigEndian, true, false},
      {"another header", L"REGEDIT5", Encoding::Ansi, false, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring key = base_ + L"\\" + std::to_wstring(++index);
    const std::string bytes =
        assoctest::Encoded(assoctest::SmallFile(c.header, L"HKEY_CURRENT_USER\\" + key, c.withStringHex), c.encoding);
    const std::wstring file = files_ / (std::to_wstring(index) + L".reg");
    testsupport::WriteBytes(file, bytes);
    EXPECT_EQ(testsupport::RunRegistryEditor(L"/S \"" + file + L"\""), 0u);
    const std::wstring theirs = TreeDump(HKEY_CURRENT_USER, key);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    try {
      assoctest::ApplyDocument(assoc::ReadRegFile(bytes));
      EXPECT_TRUE(c.read) << "read, where the editor imports nothing";
    } catch (const assoc::ERegFileError& e) {
      EXPECT_FALSE(c.read) << "refused: " << testing::PrintToString(e.Message());
    }
    EXPECT_EQ(testsupport::TreeDifference(theirs, TreeDump(HKEY_CURRENT_USER, key)), L"");
    EXPECT_EQ(theirs.find(L"<absent>") == std::wstring::npos, c.read) << testing::PrintToString(theirs);
  }

  // The editor splits an 8-bit file at its line ends before it decodes a line: a lead byte at
  // the end of a comment does not take the next line with it.
  const std::wstring key = base_ + L"\\lead";
  const std::string bytes =
      "REGEDIT4\n; \x83\n[" + testsupport::Ansi(L"HKEY_CURRENT_USER\\" + key) + "]\n\"v\"=\"x\"\n";
  const std::wstring file = files_ / L"lead.reg";
  testsupport::WriteBytes(file, bytes);
  EXPECT_EQ(testsupport::RunRegistryEditor(L"/S \"" + file + L"\""), 0u);
  const std::wstring theirs = TreeDump(HKEY_CURRENT_USER, key);
  EXPECT_NE(theirs.find(L"  v type 1:"), std::wstring::npos) << testing::PrintToString(theirs);
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  assoctest::ApplyDocument(assoc::ReadRegFile(bytes));
  EXPECT_EQ(testsupport::TreeDifference(theirs, TreeDump(HKEY_CURRENT_USER, key)), L"");
}

}  // namespace
