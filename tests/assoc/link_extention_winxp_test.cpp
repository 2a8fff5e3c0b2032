#include "assoc/link_extention_winxp.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "assoc/safety.h"
#include "assoc/store_fixture.h"
#include "common/handles.h"
#include "support/registry_sandbox.h"

namespace {

using assoctest::kCannotChangeRegistry;
using assoctest::kWrongExtention;
using assoctest::MessageOf;
using assoctest::ShellAssocString;
using assoctest::SubKeyNames;
using assoctest::TextDefault;
using testsupport::CreateKey;
using testsupport::KeyExists;
using testsupport::WriteValue;

using Names = std::vector<std::wstring>;

class ClassicStore : public assoctest::StoreTest {
 protected:
  assoctest::StoreDriver store_{std::make_unique<TLinkExtentionWinXp>()};
};

TEST_F(ClassicStore, LinkWritesTheFourRecordsThatTheShellAndTheStoreReadBack) {
  const std::wstring command = L"\"C:\\Program Files\\x\\a.exe\" \"%1\"";
  store_.Link(L".txt", command, L"C:\\x\\a.ico", 0, L"");

  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L".txt", L"txtFile"}));
  EXPECT_EQ(TextDefault(L".txt"), L"txtFile");
  EXPECT_EQ(TextDefault(L"txtFile"), L"txtファイル");
  EXPECT_EQ(TextDefault(L"txtFile\\Shell\\open\\command"), command);
  EXPECT_EQ(TextDefault(L"txtFile\\DefaultIcon"), L"C:\\x\\a.ico,0");
  EXPECT_EQ(notices_.Count(), 1);

  EXPECT_EQ(ShellAssocString(ASSOCSTR_COMMAND, L".txt"), command);
  EXPECT_EQ(ShellAssocString(ASSOCSTR_FRIENDLYDOCNAME, L".txt"), L"txtファイル");
  EXPECT_EQ(ShellAssocString(ASSOCSTR_DEFAULTICON, L".txt"), L"C:\\x\\a.ico,0");

  EXPECT_EQ(assoc::FileTypeKeyOf(L".txt"), L"txtFile");
  EXPECT_EQ(store_.GetCommand(L".txt"), command);
  EXPECT_EQ(store_.GetFileType(L".txt"), L"txtファイル");
  const TLinkExtention::TIconInfo icon = store_.GetIconInfo(L".txt");
  EXPECT_EQ(icon.IconFile, L"C:\\x\\a.ico");
  EXPECT_EQ(icon.IconIndex, 0);
}

TEST_F(ClassicStore, LinkWritesArgumentsUnchangedAndTheIconIndexInDecimal) {
  struct Case {
    std::wstring extention, command, iconFile;
    int iconIndex;
    std::wstring fileType;
    std::wstring fileTypeKey, description, location;
    TLinkExtention::TIconInfo readBack;
  };
  const Case cases[] = {
      {L".bmp", L"a.exe %1", L"C:\\x\\a.dll", -102, L"画像", L"bmpFile", L"画像", L"C:\\x\\a.dll,-102",
       {L"C:\\x\\a.dll", -102}},
      {L".min", L"", L"i.dll", INT_MIN, L" ", L"minFile", L" ", L"i.dll,-2147483648", {L"i.dll", INT_MIN}},
      {L".max", L"%SystemRoot%\\a.exe", L"i.dll", INT_MAX, L"", L"maxFile", L"maxファイル", L"i.dll,2147483647",
       {L"i.dll", INT_MAX}},
      // The reader splits at the first comma, so an icon path with a comma does not survive.
      {L".cm", L"a", L"C:\\a,b\\x.dll", 2, L"", L"cmFile", L"cmファイル", L"C:\\a,b\\x.dll,2", {L"C:\\a", 0}},
      {L". t x", L"a", L"\"C:\\x y\\a.ico\"", 1, L"", L" t xFile", L" t xファイル", L"\"C:\\x y\\a.ico\",1",
       {L"\"C:\\x y\\a.ico\"", 1}},
      {L".テキスト", L"a", L"a.ico", 3, L"", L"テキストFile", L"テキストファイル", L"a.ico,3", {L"a.ico", 3}},
      {L"..x", L"a", L"a.ico", 3, L"", L".xFile", L".xファイル", L"a.ico,3", {L"a.ico", 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.extention));
    store_.Link(c.extention, c.command, c.iconFile, c.iconIndex, c.fileType);
    EXPECT_EQ(TextDefault(c.extention), c.fileTypeKey);
    EXPECT_EQ(TextDefault(c.fileTypeKey), c.description);
    EXPECT_EQ(TextDefault(c.fileTypeKey + L"\\Shell\\open\\command"), c.command);
    EXPECT_EQ(TextDefault(c.fileTypeKey + L"\\DefaultIcon"), c.location);
    EXPECT_EQ(ShellAssocString(ASSOCSTR_FRIENDLYDOCNAME, c.extention), c.description);
    EXPECT_EQ(ShellAssocString(ASSOCSTR_DEFAULTICON, c.extention), c.location);
    const TLinkExtention::TIconInfo icon = store_.GetIconInfo(c.extention);
    EXPECT_EQ(icon.IconFile, c.readBack.IconFile);
    EXPECT_EQ(icon.IconIndex, c.readBack.IconIndex);
  }
  EXPECT_EQ(notices_.Count(), static_cast<int>(std::size(cases)));
}

TEST_F(ClassicStore, LinkRefusesAWrongExtentionBeforeTouchingTheRegistry) {
  for (const wchar_t* extention : {L"", L".", L"t", L"txt", L"\\", L"\\.txt", L".a\\b", L".\\", L".txt\\..\\x"}) {
    EXPECT_EQ(MessageOf([&] { store_.Link(extention, L"a.exe", L"a.ico", 0, L""); }), kWrongExtention)
        << testing::PrintToString(std::wstring(extention));
  }
  EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty());
  EXPECT_EQ(notices_.Count(), 0);
}

TEST_F(ClassicStore, LinkOfLongExtentionsWritesAllOrNothing) {
  // 252 characters make a 255-character file type key, the longest there is.
  const std::wstring longest = L"." + std::wstring(251, L'e');
  store_.Link(longest, L"a", L"a.ico", 0, L"");
  EXPECT_EQ(TextDefault(longest), longest.substr(1) + L"File");
  EXPECT_EQ(TextDefault(longest.substr(1) + L"File\\DefaultIcon"), L"a.ico,0");
  store_.Unlink(longest);
  ASSERT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty());

  // 255 characters: the extension key fits, its file type key does not, so the extension key
  // written first is taken back; 256: not even the extension key fits. The message names the key.
  const std::wstring e255 = L"." + std::wstring(254, L'e');
  const std::wstring e256 = L"." + std::wstring(255, L'e');
  for (const std::wstring& extention : {e255, e256}) {
    const std::wstring message = MessageOf([&] { store_.Link(extention, L"a", L"a.ico", 0, L""); });
    EXPECT_EQ(message.rfind(std::wstring(kCannotChangeRegistry) + L"\nキー「HKEY_CLASSES_ROOT\\", 0), 0u)
        << testing::PrintToString(message);
    EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty());
  }
  EXPECT_EQ(notices_.Count(), 2) << "from the first Link and its Unlink only";
}

TEST_F(ClassicStore, LinkWithoutIconFileKeepsTheEarlierDefaultIconAndSendsNoNotice) {
  WriteValue(HKEY_CLASSES_ROOT, L"txtFile\\DefaultIcon", L"", REG_SZ, L"old.ico,7");
  store_.Link(L".txt", L"new.exe", L"", 3, L"");
  EXPECT_EQ(TextDefault(L"txtFile\\Shell\\open\\command"), L"new.exe");
  EXPECT_EQ(TextDefault(L"txtFile\\DefaultIcon"), L"old.ico,7");
  EXPECT_EQ(notices_.Count(), 0);

  store_.Link(L".new", L"new.exe", L"", 3, L"");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"newFile\\DefaultIcon"));
}

TEST_F(ClassicStore, LinkWritesOnlyTheFourDefaultValuesAndLeavesOtherKeysAlone) {
  // Another program's association of .doc, and a lower-case txtfile with extra data.
  WriteValue(HKEY_CLASSES_ROOT, L".doc", L"", REG_SZ, L"Word.Document.8");
  WriteValue(HKEY_CLASSES_ROOT, L"Word.Document.8", L"", REG_SZ, L"Document");
  WriteValue(HKEY_CLASSES_ROOT, L"Word.Document.8\\DefaultIcon", L"", REG_SZ, L"w.exe,1");
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"Content Type", REG_SZ, L"text/plain");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile", L"EditFlags", REG_DWORD, L"0");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\edit\\command", L"", REG_SZ, L"edit.exe %1");

  store_.Link(L".doc", L"a.exe", L"a.ico", 0, L"");
  store_.Link(L".txt", L"a.exe", L"a.ico", 0, L"");

  EXPECT_EQ(TextDefault(L".doc"), L"docFile");
  EXPECT_EQ(TextDefault(L"Word.Document.8"), L"Document");
  EXPECT_EQ(TextDefault(L"Word.Document.8\\DefaultIcon"), L"w.exe,1");
  // Key names match whatever their letter case: txtfile is written into, and keeps its name.
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L".doc", L".txt", L"docFile", L"txtfile", L"Word.Document.8"}));
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L".txt", L"Content Type").text, L"text/plain");
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L"txtfile", L"EditFlags").type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(TextDefault(L"txtfile\\shell\\edit\\command"), L"edit.exe %1");
  EXPECT_EQ(TextDefault(L"txtfile\\shell\\open\\command"), L"a.exe");
}

TEST_F(ClassicStore, UnlinkRemovesTheExtentionAndItsFileTypeKeyWithAllSubKeys) {
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L".txt\\ShellNew", L"NullFile", REG_SZ, L"");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"a.exe");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\print\\ddeexec\\Application", L"", REG_SZ, L"a");
  CreateKey(HKEY_CLASSES_ROOT, L"txtfile\\DefaultIcon");
  WriteValue(HKEY_CLASSES_ROOT, L".doc", L"", REG_SZ, L"docfile");
  CreateKey(HKEY_CLASSES_ROOT, L"docfile\\shell\\open\\command");
  CreateKey(HKEY_CLASSES_ROOT, L"txtfile2");
  CreateKey(HKEY_CLASSES_ROOT, L".txt2");

  store_.Unlink(L".txt");

  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L".doc", L".txt2", L"docfile", L"txtfile2"}));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"docfile\\shell\\open\\command"));
  EXPECT_EQ(notices_.Count(), 1);
  EXPECT_EQ(ShellAssocString(ASSOCSTR_COMMAND, L".txt").substr(0, 4), L"<hr ");
}

TEST_F(ClassicStore, UnlinkAcceptsAnyExtentionWithoutBackslashAndRaisesNothingForMissingKeys) {
  CreateKey(HKEY_CLASSES_ROOT, L"txt");
  store_.Unlink(L"txt");
  store_.Unlink(L".none");
  store_.Unlink(L".");
  store_.Unlink(L"." + std::wstring(255, L'e'));
  EXPECT_TRUE(SubKeyNames(HKEY_CLASSES_ROOT).empty()) << "no read created a key";
  EXPECT_EQ(notices_.Count(), 4);
}

TEST_F(ClassicStore, UnlinkRefusesTheEmptyExtentionAndOneThatIsAPath) {
  WriteValue(HKEY_CLASSES_ROOT, L".a\\b", L"", REG_SZ, L"bFile");
  CreateKey(HKEY_CLASSES_ROOT, L"bFile");
  for (const wchar_t* extention : {L"", L".a\\b", L"\\", L"\\.a"}) {
    EXPECT_EQ(MessageOf([&] { store_.Unlink(extention); }), kWrongExtention)
        << testing::PrintToString(std::wstring(extention));
  }
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L".a", L"bFile"}));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".a\\b"));
  EXPECT_EQ(notices_.Count(), 0);
}

TEST_F(ClassicStore, UnlinkNeverRemovesAKeyThatTheFileTypeNameReachesAsAPath) {
  for (const wchar_t* fileTypeKey : {L"\\", L"\\\\", L"Keep\\Inner", L"\\Keep", L"Keep\\", L"..\\Keep"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(fileTypeKey)));
    CreateKey(HKEY_CLASSES_ROOT, L"Keep\\Inner");
    WriteValue(HKEY_CLASSES_ROOT, L".bad", L"", REG_SZ, fileTypeKey);
    store_.Unlink(L".bad");
    EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L"Keep"}));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Keep\\Inner"));
  }
  EXPECT_EQ(notices_.Count(), 6);
}

TEST_F(ClassicStore, AnExtentionHoldingANulNamesNoKeyAndChangesNothing) {
  // The API would end such a name at the NUL: "\0x" would be the classes root itself.
  WriteValue(HKEY_CLASSES_ROOT, L"", L"", REG_SZ, L"root");
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtFile");
  CreateKey(HKEY_CLASSES_ROOT, L"txtFile\\Shell\\open\\command");
  const std::wstring extentions[] = {std::wstring(L"\0x", 2), std::wstring(L".\0", 2), std::wstring(L".txt\0", 5)};
  for (const std::wstring& extention : extentions) {
    SCOPED_TRACE(testing::PrintToString(extention));
    store_.Unlink(extention);
    const std::wstring refusal = extention[0] == L'.' ? kCannotChangeRegistry : kWrongExtention;
    EXPECT_EQ(MessageOf([&] { store_.Link(extention, L"a.exe", L"a.ico", 0, L""); }), refusal);
    EXPECT_EQ(store_.GetCommand(extention), L"");
  }
  EXPECT_EQ(notices_.Count(), 3);
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L".txt", L"txtFile"}));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"txtFile\\Shell\\open\\command"));
  EXPECT_EQ(TextDefault(L""), L"root");
  EXPECT_EQ(TextDefault(L".txt"), L"txtFile");
}

TEST_F(ClassicStore, ReadsOfTheEmptyExtentionOrOneThatIsAPathFindNoAssociationAndTouchNothing) {
  // Followed as a path, .a\b would lead to a complete association.
  WriteValue(HKEY_CLASSES_ROOT, L".a\\b", L"", REG_SZ, L"bFile");
  WriteValue(HKEY_CLASSES_ROOT, L"bFile", L"", REG_SZ, L"B");
  WriteValue(HKEY_CLASSES_ROOT, L"bFile\\Shell\\open\\command", L"", REG_SZ, L"b.exe %1");
  WriteValue(HKEY_CLASSES_ROOT, L"bFile\\DefaultIcon", L"", REG_SZ, L"b.ico,1");
  WriteValue(HKEY_CLASSES_ROOT, L"", L"", REG_SZ, L"root");
  for (const wchar_t* extention : {L"", L".a\\b", L"\\", L"\\.a\\b"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(extention)));
    EXPECT_EQ(assoc::FileTypeKeyOf(extention), L"");
    EXPECT_EQ(store_.GetCommand(extention), L"");
    EXPECT_EQ(store_.GetFileType(extention), L"");
    const TLinkExtention::TIconInfo icon = store_.GetIconInfo(extention);
    EXPECT_EQ(icon.IconFile, L"");
    EXPECT_EQ(icon.IconIndex, 0);
  }
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), (Names{L".a", L"bFile"}));
  EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT, L"bFile"), (Names{L"DefaultIcon", L"Shell"}));
}

TEST_F(ClassicStore, ReadsCreateNothingWhateverTheRecordNames) {
  // A missing extension, a file type that does not exist, one that names a path into the classes
  // (a COM class), and an extension that names no file type, whose reads do not fall back on the
  // classes root's own records.
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L".com1", L"", REG_SZ, L"CLSID\\{1}");
  WriteValue(HKEY_CLASSES_ROOT, L"CLSID\\{1}\\InprocServer32", L"", REG_SZ, L"a.dll");
  CreateKey(HKEY_CLASSES_ROOT, L".bare");
  WriteValue(HKEY_CLASSES_ROOT, L"", L"", REG_SZ, L"root description");
  WriteValue(HKEY_CLASSES_ROOT, L"DefaultIcon", L"", REG_SZ, L"C:\\root.ico,4");
  const std::wstring before = testsupport::TreeDump(HKEY_CLASSES_ROOT, L"");
  for (const wchar_t* extension : {L".none", L".txt", L".com1", L".bare"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(extension)));
    EXPECT_EQ(store_.GetCommand(extension), L"");
    EXPECT_EQ(store_.GetFileType(extension), L"");
    const TLinkExtention::TIconInfo icon = store_.GetIconInfo(extension);
    EXPECT_EQ(icon.IconFile, L"");
    EXPECT_EQ(icon.IconIndex, 0);
  }
  EXPECT_EQ(testsupport::TreeDifference(before, testsupport::TreeDump(HKEY_CLASSES_ROOT, L"")), L"");
}

TEST_F(ClassicStore, GetIconInfoSplitsTheLocationAtItsFirstComma) {
  struct Case {
    const wchar_t* location;
    const wchar_t* file;
    int index;
  };
  const Case cases[] = {
      {L"C:\\x\\app.exe,3", L"C:\\x\\app.exe", 3},
      {L"C:\\x\\a.dll,-102", L"C:\\x\\a.dll", -102},
      {L"C:\\x\\a.ico", L"C:\\x\\a.ico", 0},
      {L",5", L"", 5},
      {L"", L"", 0},
      {L"a,", L"a", 0},
      {L"a,b", L"a", 0},
      {L"C:\\a,b\\x.dll,2", L"C:\\a", 0},
      {L"a,1,2", L"a", 0},
      {L"\"C:\\x y\\a.exe\",1", L"\"C:\\x y\\a.exe\"", 1},
      {L"a, 7", L"a", 7},
      {L"a,7 ", L"a", 0},
      {L"a,+7", L"a", 7},
      {L"a,0x1F", L"a", 31},
      {L"a,0X1f", L"a", 31},
      {L"a,$10", L"a", 16},
      {L"a,x10", L"a", 16},
      {L"a,-$10", L"a", -16},
      {L"a,0x", L"a", 0},
      {L"a,2147483647", L"a", INT_MAX},
      {L"a,-2147483648", L"a", INT_MIN},
      {L"a,2147483648", L"a", 0},
      {L"a,1.5", L"a", 0},
  };
  WriteValue(HKEY_CLASSES_ROOT, L".ico", L"", REG_SZ, L"icoFile");
  for (const Case& c : cases) {
    WriteValue(HKEY_CLASSES_ROOT, L"icoFile\\DefaultIcon", L"", REG_SZ, c.location);
    const TLinkExtention::TIconInfo icon = store_.GetIconInfo(L".ico");
    EXPECT_EQ(icon.IconFile, c.file) << testing::PrintToString(std::wstring(c.location));
    EXPECT_EQ(icon.IconIndex, c.index) << testing::PrintToString(std::wstring(c.location));
  }
}

TEST_F(ClassicStore, DefaultValuesOfOtherTypesReadAsEmptyOrUnexpanded) {
  struct Case {
    const char* what;
    const wchar_t* path;
    DWORD type;
    const wchar_t* data;
    std::wstring command, fileType;
    TLinkExtention::TIconInfo icon;
  };
  const Case cases[] = {
      {"DWORD extension key", L".t", REG_DWORD, L"1", L"", L"", {}},
      {"DWORD file type key", L"tFile", REG_DWORD, L"1", L"c %1", L"", {L"i.ico", 2}},
      {"DWORD command", L"tFile\\Shell\\open\\command", REG_DWORD, L"1", L"", L"T", {L"i.ico", 2}},
      {"DWORD icon", L"tFile\\DefaultIcon", REG_DWORD, L"1", L"c %1", L"T", {}},
      {"expandable command", L"tFile\\Shell\\open\\command", REG_EXPAND_SZ, L"%SystemRoot%\\c.exe %1",
       L"%SystemRoot%\\c.exe %1", L"T", {L"i.ico", 2}},
      {"expandable icon", L"tFile\\DefaultIcon", REG_EXPAND_SZ, L"%SystemRoot%\\i.dll,-3", L"c %1", L"T",
       {L"%SystemRoot%\\i.dll", -3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteValue(HKEY_CLASSES_ROOT, L".t", L"", REG_SZ, L"tFile");
    WriteValue(HKEY_CLASSES_ROOT, L"tFile", L"", REG_SZ, L"T");
    WriteValue(HKEY_CLASSES_ROOT, L"tFile\\Shell\\open\\command", L"", REG_SZ, L"c %1");
    WriteValue(HKEY_CLASSES_ROOT, L"tFile\\DefaultIcon", L"", REG_SZ, L"i.ico,2");
    WriteValue(HKEY_CLASSES_ROOT, c.path, L"", c.type, c.data);
    EXPECT_EQ(store_.GetCommand(L".t"), c.command);
    EXPECT_EQ(store_.GetFileType(L".t"), c.fileType);
    const TLinkExtention::TIconInfo icon = store_.GetIconInfo(L".t");
    EXPECT_EQ(icon.IconFile, c.icon.IconFile);
    EXPECT_EQ(icon.IconIndex, c.icon.IconIndex);
  }

  // Link writes text over a value of another type; Unlink removes a key whatever it holds.
  WriteValue(HKEY_CLASSES_ROOT, L".t", L"", REG_DWORD, L"1");
  store_.Link(L".t", L"c %1", L"i.ico", 0, L"");
  EXPECT_EQ(TextDefault(L".t"), L"tFile");
  WriteValue(HKEY_CLASSES_ROOT, L".t", L"", REG_DWORD, L"1");
  store_.Unlink(L".t");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".t"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"tFile")) << "an unreadable name removes no file type key";
}

}  // namespace
