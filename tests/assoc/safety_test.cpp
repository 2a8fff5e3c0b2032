#include "assoc/safety.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/link_extention.h"
#include "assoc/link_extention_base.h"
#include "assoc/store_fixture.h"
#include "assoc/type_users.h"
#include "support/registry_sandbox.h"

namespace {

using assoctest::SubKeyNames;
using testsupport::TreeDump;
using TLinkExtention::TFileTypeKept;
using testsupport::CreateKey;
using testsupport::WriteValue;

using Names = std::vector<std::wstring>;

// A key of HKEY_CLASSES_ROOT and its default value (REG_SZ unless type says otherwise).
struct Entry {
  const wchar_t* key;
  const wchar_t* value;
  DWORD type = REG_SZ;
};

TEST(DeleteGuard, KeepsTheFileTypeKeyThatOthersOrTheSystemStillNeed) {
  struct Case {
    const char* what;
    std::vector<Entry> registry;
    const wchar_t* extension;
    TFileTypeKept kept;
    Names sharedWith;
    Names left;  // the keys of HKEY_CLASSES_ROOT afterwards
  };
  const Case cases[] = {
      {"its own type goes", {{L".txt", L"txtfile"}, {L"txtfile\\shell\\open\\command", L"a.exe"}, {L".doc", L"doc"}},
       L".txt", TFileTypeKept::No, {}, {L".doc"}},
      {"shared with another extension",
       {{L".txt", L"txtfile"}, {L".log", L"txtfile"}, {L"txtfile\\shell\\open\\command", L"a.exe"}},
       L".txt", TFileTypeKept::Shared, {L".log"}, {L".log", L"txtfile"}},
      {"shared, letter case aside",
       {{L".txt", L"txtfile"}, {L".LOG", L"TxtFile"}, {L"TXTFILE", L"Text"}},
       L".txt", TFileTypeKept::Shared, {L".LOG"}, {L".LOG", L"TXTFILE"}},
      {"shared with several, in the registry's order",
       {{L".c", L"t"}, {L".a", L"t"}, {L".b", L"t"}, {L".d", L"u"}, {L"t", L"T"}},
       L".b", TFileTypeKept::Shared, {L".a", L".c"}, {L".a", L".c", L".d", L"t"}},
      {"an expandable name counts too",
       {{L".txt", L"txtfile"}, {L".log", L"txtfile", REG_EXPAND_SZ}, {L"txtfile", L"Text"}},
       L".txt", TFileTypeKept::Shared, {L".log"}, {L".log", L"txtfile"}},
      {"the extension itself in other letters is not another one",
       {{L".txt", L"txtfile"}, {L"txtfile", L"Text"}}, L".TXT", TFileTypeKept::No, {}, {}},
      {"a key without the leading dot is no extension",
       {{L".txt", L"txtfile"}, {L"txt", L"txtfile"}, {L"txtfile", L"Text"}}, L".txt", TFileTypeKept::No, {},
       {L"txt"}},
      {"a number is no name", {{L".txt", L"txtfile"}, {L".log", L"7", REG_DWORD}, {L"txtfile", L"Text"}, {L"7", L""}},
       L".txt", TFileTypeKept::No, {}, {L".log", L"7"}},
      {"a name that only begins alike", {{L".txt", L"txtfile"}, {L".log", L"txtfile2"}, {L"txtfile", L"Text"}},
       L".txt", TFileTypeKept::No, {}, {L".log"}},
      {"the class table", {{L".x", L"CLSID"}, {L"CLSID\\{00000000-0000-0000-0000-000000000001}", L"A"}},
       L".x", TFileTypeKept::SystemKey, {}, {L"CLSID"}},
      {"the class table in other letters", {{L".x", L"clsid"}, {L"CLSID\\{1}", L"A"}}, L".x",
       TFileTypeKept::SystemKey, {}, {L"CLSID"}},
      {"the file type of programs", {{L".x", L"exefile"}, {L"exefile\\shell\\open\\command", L"\"%1\" %*"}}, L".x",
       TFileTypeKept::SystemKey, {}, {L"exefile"}},
      {"every file", {{L".x", L"*"}, {L"*\\shellex", L""}}, L".x", TFileTypeKept::SystemKey, {}, {L"*"}},
      {"folders", {{L".x", L"Directory"}, {L"Directory\\shell", L""}}, L".x", TFileTypeKept::SystemKey, {},
       {L"Directory"}},
      {"a name like a system key is none", {{L".x", L"CLSIDx"}, {L"CLSIDx", L""}, {L"CLSID", L""}}, L".x",
       TFileTypeKept::No, {}, {L"CLSID"}},
      {"another extension", {{L".x", L".y"}, {L".y", L"yfile"}, {L"yfile", L"Y"}}, L".x", TFileTypeKept::Extention,
       {}, {L".y", L"yfile"}},
      {"the extension itself", {{L".x", L".x"}}, L".x", TFileTypeKept::Extention, {}, {}},
      {"a path into other keys", {{L".x", L"Keep\\Inner"}, {L"Keep\\Inner", L""}}, L".x", TFileTypeKept::KeyPath, {},
       {L"Keep"}},
      {"no name", {{L".x", L""}, {L"other", L""}}, L".x", TFileTypeKept::No, {}, {L"other"}},
      {"a missing file type key is judged no further", {{L".x", L"gone"}, {L".y", L"gone"}}, L".x",
       TFileTypeKept::No, {}, {L".y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RegistrySandbox sandbox;
    assoctest::NoticeCounter notices;
    for (const Entry& e : c.registry) WriteValue(HKEY_CLASSES_ROOT, e.key, L"", e.type, e.value);
    const std::wstring fileType = testsupport::ReadValue(HKEY_CLASSES_ROOT, c.extension).text;
    const std::wstring keptBefore = TreeDump(HKEY_CLASSES_ROOT, fileType);

    const TLinkExtention::TUnlinkResult result = assoctest::StoreDriver(CreateLinkExtention()).Unlink(c.extension);

    EXPECT_EQ(result.Kept, c.kept);
    EXPECT_EQ(result.FileTypeKey, fileType);
    EXPECT_EQ(result.SharedWith, c.sharedWith);
    EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT), c.left);
    // A kept key is untouched, unless it is the extension key itself, which goes in any case.
    if (c.kept != TFileTypeKept::No && fileType != c.extension) {
      EXPECT_EQ(TreeDump(HKEY_CLASSES_ROOT, fileType), keptBefore);
    }
    EXPECT_EQ(notices.Count(), 1);
  }
}

TEST(DeleteGuard, KeepsProtocolsComClassesAndTypesAnythingElseNames) {
  constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
  constexpr wchar_t kUrlChoices[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
  struct Case {
    const char* what;
    std::function<void()> make;  // beyond ".x" naming "t" and t's command
    TFileTypeKept kept;
    Names sharedWith;
  };
  const Case cases[] = {
      {"a protocol", [] { WriteValue(HKEY_CLASSES_ROOT, L"t", L"URL Protocol", REG_SZ, L""); },
       TFileTypeKept::Protocol, {}},
      {"a COM class's ProgID", [] { WriteValue(HKEY_CLASSES_ROOT, L"t\\CLSID", L"", REG_SZ, L"{1}"); },
       TFileTypeKept::ComClass, {}},
      {"another extension's choice",
       [&] { WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".y\\UserChoice", L"ProgId", REG_SZ, L"T"); },
       TFileTypeKept::Chosen, {L".y"}},
      {"another extension's latest choice",
       [&] {
         WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".y\\UserChoiceLatest", L"ProgId", REG_SZ, L"t");
       },
       TFileTypeKept::Chosen, {L".y"}},
      {"a per-user extension of this account",
       [] { WriteValue(HKEY_CURRENT_USER, L"Software\\Classes\\.y", L"", REG_SZ, L"t"); }, TFileTypeKept::Shared,
       {L".y"}},
      {"another extension's Open with list",
       [] { WriteValue(HKEY_CLASSES_ROOT, L".y\\OpenWithProgids", L"t", REG_SZ, L""); }, TFileTypeKept::UsedElsewhere,
       {L"拡張子「.y」の「プログラムから開く」の候補"}},
      {"the user's Open with list of another extension",
       [&] { WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".y\\OpenWithProgids", L"T", REG_SZ, L""); },
       TFileTypeKept::UsedElsewhere, {L"拡張子「.y」の「プログラムから開く」の候補"}},
      {"a protocol's choice",
       [&] { WriteValue(HKEY_CURRENT_USER, std::wstring(kUrlChoices) + L"web\\UserChoice", L"ProgId", REG_SZ, L"t"); },
       TFileTypeKept::UsedElsewhere, {L"プロトコル「web:」の利用者の選択"}},
      {"another file type's CurVer", [] { WriteValue(HKEY_CLASSES_ROOT, L"Old.Type\\CurVer", L"", REG_SZ, L"t"); },
       TFileTypeKept::UsedElsewhere, {L"ファイルタイプ「Old.Type」の CurVer"}},
      {"an application's registered capabilities",
       [] {
         WriteValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Viewer", REG_SZ,
                    L"Software\\Viewer\\Capabilities");
         WriteValue(HKEY_LOCAL_MACHINE, L"Software\\Viewer\\Capabilities\\FileAssociations", L".z", REG_SZ, L"t");
       },
       TFileTypeKept::UsedElsewhere, {L"アプリケーション「Viewer」の登録"}},
      {"the extension's own choice is no reason",
       [&] { WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".x\\UserChoice", L"ProgId", REG_SZ, L"t"); },
       TFileTypeKept::No, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
    assoctest::NoticeCounter notices;
    WriteValue(HKEY_CLASSES_ROOT, L".x", L"", REG_SZ, L"t");
    WriteValue(HKEY_CLASSES_ROOT, L"t\\shell\\open\\command", L"", REG_SZ, L"t.exe");
    c.make();
    const TLinkExtention::TUnlinkResult result = assoctest::StoreDriver(CreateLinkExtention()).Unlink(L".x");
    EXPECT_EQ(result.Kept, c.kept);
    EXPECT_EQ(result.SharedWith, c.sharedWith);
    EXPECT_EQ(testsupport::KeyExists(HKEY_CLASSES_ROOT, L"t"), c.kept != TFileTypeKept::No);
    // The information names the kept file type and why.
    EXPECT_EQ(assoc::texts::UnlinkedMessage(result).find(L"ファイルタイプ「t」") != std::wstring::npos,
              c.kept != TFileTypeKept::No);
  }
}

TEST(DeleteGuard, FindsTheSharingExtensionsWithoutWritingAnything) {
  testsupport::RegistrySandbox sandbox;
  WriteValue(HKEY_CLASSES_ROOT, L".a", L"", REG_SZ, L"t");
  WriteValue(HKEY_CLASSES_ROOT, L".b", L"", REG_SZ, std::wstring(L"t\0junk", 6));
  WriteValue(HKEY_CLASSES_ROOT, L".c", L"", REG_SZ, std::wstring(300, L't'));
  CreateKey(HKEY_CLASSES_ROOT, L".d");
  const std::wstring before = TreeDump(HKEY_CLASSES_ROOT, L"");
  // The name ends at its first NUL, as the store reads it; a name longer than a key name can be
  // names nothing; a missing default names nothing.
  const assoc::TTypeUsers users;
  auto naming = [&](std::wstring_view type, const Names& subjects) {
    Names found;
    for (const assoc::TTypeReference& reference : users.Others(type, subjects))
      if (reference.Kind == assoc::TReferenceKind::Extension) found.push_back(reference.By);
    return found;
  };
  EXPECT_EQ(naming(L"T", {L".x"}), (Names{L".a", L".b"}));
  EXPECT_EQ(naming(L"t", {L".A"}), (Names{L".b"}));
  EXPECT_EQ(naming(std::wstring(300, L't'), {L".x"}), Names{});
  EXPECT_EQ(assoc::FileTypeKeyOf(L".b"), L"t");
  EXPECT_EQ(assoc::FileTypeKeyOf(L".none"), L"");
  EXPECT_EQ(TreeDump(HKEY_CLASSES_ROOT, L""), before);
}

TEST(DeleteGuard, TellsWhatWasKeptAndWhyAfterTheDelete) {
  struct Case {
    TLinkExtention::TUnlinkResult result;
    std::wstring message;
  };
  const std::wstring done = L"関連づけを削除しました。";
  const Case cases[] = {
      {{L"txtfile", TFileTypeKept::No, {}}, done},
      {{L"", TFileTypeKept::No, {}}, done},
      {{L"txtfile", TFileTypeKept::Shared, {L".log"}},
       done + L"\nファイルタイプ「txtfile」は拡張子「.log」も使っているため、残しました。"},
      {{L"txtfile", TFileTypeKept::Shared, {L".log", L".ini", L".inf"}},
       done + L"\nファイルタイプ「txtfile」は拡張子「.log」ほか2個も使っているため、残しました。"},
      {{L"CLSID", TFileTypeKept::SystemKey, {}},
       done + L"\nファイルタイプ「CLSID」はシステムが使うキーのため、残しました。"},
      {{L".y", TFileTypeKept::Extention, {}},
       done + L"\nファイルタイプ「.y」は「.」で始まり、拡張子のキーを指すため、残しました。"},
      {{L"a\\b", TFileTypeKept::KeyPath, {}},
       done + L"\nファイルタイプ「a\\b」は「\\」を含み、他のキーを指すため、残しました。"},
      // A name that looks like a placeholder stays as it is.
      {{L"{E}", TFileTypeKept::Shared, {L"{T}"}},
       done + L"\nファイルタイプ「{E}」は拡張子「{T}」も使っているため、残しました。"},
  };
  for (const Case& c : cases) EXPECT_EQ(assoc::texts::UnlinkedMessage(c.result), c.message);
}

TEST(ProgramExtensions, AreWindowsExecutableAndHighRiskTypesLetterCaseAside) {
  for (const wchar_t* extension : {L".exe", L".com", L".bat", L".cmd", L".pif", L".scr", L".lnk", L".EXE", L".Lnk",
                                   L".msi", L".ps1", L".vbs", L".vbe", L".js", L".jse", L".wsf", L".wsh", L".hta",
                                   L".cpl", L".msc", L".reg", L".scf", L".jar", L".inf", L".application",
                                   L".appref-ms", L".settingcontent-ms", L".url", L".library-ms", L".search-ms"})
    EXPECT_TRUE(assoc::StartsPrograms(extension)) << testing::PrintToString(std::wstring(extension));
  for (const wchar_t* extension : {L"", L".", L"exe", L".ex", L".exe2", L".exe ", L"..exe", L".txt", L".pdf"})
    EXPECT_FALSE(assoc::StartsPrograms(extension)) << testing::PrintToString(std::wstring(extension));
  EXPECT_EQ(assoc::texts::ProgramExtensionWarning(L".exe"),
            L"拡張子「.exe」はプログラムの起動に使われています。関連づけを変更すると、このソフトウェアも含めて、"
            L"どのプログラムも起動できなくなることがあります。\n本当に登録しますか？");
}

}  // namespace
