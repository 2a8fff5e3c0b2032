// What Explorer will use, on registry states built in a sandbox that redirects the machine's
// and the user's keys: Wine's own association reader ignores both per-user layers, so these
// answers cannot be checked against the platform here.
#include "assoc/assoc_resolver.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "assoc/assoc_labels.h"
#include "assoc/user_override.h"
#include "assoc/windows_version.h"
#include "common/handles.h"
#include "support/registry_sandbox.h"

namespace {

using assoc::AssocSource;
using testsupport::WriteValue;

constexpr wchar_t kMachine[] = L"Software\\Classes\\";
constexpr wchar_t kUser[] = L"Software\\Classes\\";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

enum Where { Machine, User, Choice };

// One value of a registry state: below HKLM\Software\Classes, HKCU\Software\Classes, or the
// user's FileExts key.
struct Write {
  Where where;
  const wchar_t* path;
  const wchar_t* name;
  std::wstring data;
  DWORD type = REG_SZ;
};

void Apply(const std::vector<Write>& writes) {
  for (const Write& w : writes) {
    const HKEY root = w.where == Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring base = w.where == Machine ? kMachine : w.where == User ? kUser : kFileExts;
    WriteValue(root, base + w.path, w.name, w.type, w.data);
  }
}

// The classic records of .abc, as a registration by this tool leaves them.
const std::vector<Write> kClassic = {
    {Machine, L".abc", L"", L"abcFile"},
    {Machine, L"abcFile", L"", L"abcファイル"},
    {Machine, L"abcFile\\Shell\\open\\command", L"", L"\"C:\\Tools\\abc.exe\" \"%1\""},
    {Machine, L"abcFile\\DefaultIcon", L"", L"C:\\Tools\\abc.exe,0"},
};

std::vector<Write> ClassicAnd(std::vector<Write> more) {
  more.insert(more.begin(), kClassic.begin(), kClassic.end());
  return more;
}

struct Case {
  const char* name;
  std::vector<Write> state;
  AssocSource source;
  std::wstring fileType;
  bool fileTypeExists;
  std::wstring program;
  bool differs;
};

class ResolverTest : public testing::TestWithParam<Case> {
 protected:
  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
};

TEST_P(ResolverTest, SaysWhatExplorerUses) {
  ASSERT_TRUE(sandbox_.Ok());
  const Case& c = GetParam();
  Apply(c.state);
  const auto before = testsupport::Snapshot(sandbox_.User());
  const auto machineBefore = testsupport::Snapshot(sandbox_.Machine());

  const assoc::EffectiveAssociation a = assoc::ResolveAssociation(L".abc");
  EXPECT_EQ(a.source, c.source);
  EXPECT_EQ(a.fileType, c.fileType);
  EXPECT_EQ(a.fileTypeExists, c.fileTypeExists);
  EXPECT_EQ(a.program, c.program);
  EXPECT_EQ(a.differs, c.differs);
  EXPECT_TRUE(!a.differs || assoc::HasUserRecords(L".abc")) << "a difference always comes with user records";

  // Reading leaves both trees exactly as they were.
  EXPECT_EQ(testsupport::Snapshot(sandbox_.User()), before);
  EXPECT_EQ(testsupport::Snapshot(sandbox_.Machine()), machineBefore);
}

const Case kCases[] = {
    {"NoRecords", {}, AssocSource::None, L"", false, L"", false},
    {"ClassicOnly", kClassic, AssocSource::MachineClasses, L"abcFile", true, L"C:\\Tools\\abc.exe", false},
    {"UserClassOverridesMachine",
     ClassicAnd({{User, L".abc", L"", L"Other.Doc"}, {User, L"Other.Doc\\shell\\open\\command", L"", L"C:\\o.exe %1"}}),
     AssocSource::UserClasses, L"Other.Doc", true, L"C:\\o.exe", true},
    {"ChoiceNamesExistingType",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Viewer.abc"},
                 {Choice, L".abc\\UserChoice", L"Hash", L"q2x4="},
                 {Machine, L"Viewer.abc\\shell\\open\\command", L"", L"\"C:\\Viewer\\v.exe\" \"%1\""}}),
     AssocSource::UserChoice, L"Viewer.abc", true, L"C:\\Viewer\\v.exe", true},
    {"ChoiceNamesMissingType", ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Gone.abc"}}),
     AssocSource::UserChoice, L"Gone.abc", false, L"", true},
    {"ChoiceNamesOpenWithProgram",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Applications\\notepad.exe"},
                 {Machine, L"Applications\\notepad.exe\\shell\\open\\command", L"", L"C:\\Windows\\notepad.exe %1"}}),
     AssocSource::UserChoice, L"Applications\\notepad.exe", true, L"C:\\Windows\\notepad.exe", true},
    {"ChoiceNamesOpenWithProgramWithoutCommand",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Applications\\edit.exe"},
                 {User, L"Applications\\edit.exe", L"FriendlyAppName", L"Edit"}}),
     AssocSource::UserChoice, L"Applications\\edit.exe", true, L"edit.exe", true},
    {"ChoiceWithoutProgIdIsNoChoice", ClassicAnd({{Choice, L".abc\\UserChoice", L"Hash", L"q2x4="}}),
     AssocSource::MachineClasses, L"abcFile", true, L"C:\\Tools\\abc.exe", false},
    {"ChoiceEqualToClassicSaysNothing", ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"ABCFILE"}}),
     AssocSource::UserChoice, L"ABCFILE", true, L"C:\\Tools\\abc.exe", false},
    {"LatestChoiceWins",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Old.abc"},
                 {Choice, L".abc\\UserChoiceLatest", L"ProgId", L"abcFile"}}),
     AssocSource::UserChoice, L"abcFile", true, L"C:\\Tools\\abc.exe", false},
    {"LatestChoiceInProgIdSubKey",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"abcFile"},
                 {Choice, L".abc\\UserChoiceLatest\\ProgId", L"ProgId", L"Gone.abc"}}),
     AssocSource::UserChoice, L"Gone.abc", false, L"", true},
    {"NonTextExtensionDefault", {{Machine, L".abc", L"", L"7", REG_DWORD}}, AssocSource::None, L"", false, L"", false},
    {"ProgIdWithEmbeddedNul",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", std::wstring(L"abcFile\0Evil", 12)}}),
     AssocSource::UserChoice, L"abcFile", true, L"C:\\Tools\\abc.exe", false},
    {"ProgIdHoldingBackslash", ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"abcFile\\shell"}}),
     AssocSource::UserChoice, L"abcFile\\shell", false, L"", true},
    {"ProgIdClimbingOutOfApplications",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Applications\\..\\abcFile"}}), AssocSource::UserChoice,
     L"Applications\\..\\abcFile", false, L"", true},
};

INSTANTIATE_TEST_SUITE_P(States, ResolverTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

class ResolverDetailTest : public testing::Test {
 protected:
  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
};

TEST_F(ResolverDetailTest, ReportsTheChoiceAndTheClassicRecord) {
  Apply(ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Viewer.abc"},
                    {Choice, L".abc\\UserChoice", L"Hash", L"q2x4="},
                    {User, L".abc", L"", L"Other.Doc"},
                    {User, L"Viewer.abc\\shell\\open\\command", L"", L"v.exe"},
                    {User, L"Viewer.abc\\DefaultIcon", L"", L"%SystemRoot%\\v.dll,-3", REG_EXPAND_SZ}}));
  const auto a = assoc::ResolveAssociation(L".abc");
  EXPECT_EQ(a.choice.key, L"UserChoice");
  EXPECT_EQ(a.choice.progId, L"Viewer.abc");
  EXPECT_TRUE(a.choice.hasHash);
  EXPECT_EQ(a.userClassesFileType, L"Other.Doc");
  EXPECT_EQ(a.command, L"v.exe");
  EXPECT_EQ(a.program, L"v.exe");
  EXPECT_EQ(a.defaultIcon, L"%SystemRoot%\\v.dll,-3");
  EXPECT_EQ(a.classicFileType, L"abcFile");
  EXPECT_EQ(a.classicCommand, L"\"C:\\Tools\\abc.exe\" \"%1\"");
}

TEST_F(ResolverDetailTest, LongValuesComeWhole) {
  const std::wstring longCommand = L"C:\\x.exe " + std::wstring(1 << 20, L'a');
  Apply(ClassicAnd({{Machine, L"abcFile\\Shell\\open\\command", L"", longCommand}}));
  const auto a = assoc::ResolveAssociation(L".abc");
  EXPECT_EQ(a.command, longCommand);
  EXPECT_EQ(a.classicCommand, longCommand);
  EXPECT_EQ(a.program, L"C:\\x.exe");
}

TEST_F(ResolverDetailTest, ExtensionsThatNameNoKeyReadNothing) {
  Apply(ClassicAnd({{Machine, L"abc", L"", L"abcFile"}}));
  for (const std::wstring& extension : {std::wstring(), std::wstring(L"."), std::wstring(L"abc"),
                                        std::wstring(L".abc\\x"), std::wstring(L".abc\0x", 6)}) {
    const auto a = assoc::ResolveAssociation(extension);
    EXPECT_EQ(a.source, AssocSource::None) << testing::PrintToString(extension);
    EXPECT_TRUE(a.classicFileType.empty()) << testing::PrintToString(extension);
  }
}

// What the note says of an extension that Windows opens with its default app.
const std::wstring kWindowsDefaultNote =
    L"Windows の既定：エクスプローラーはこの拡張子に従来の関連づけを使わず、Windows の既定のアプリで開きます。";

// .pdf with classic records of its own, then more.
std::vector<Write> PdfWith(std::vector<Write> more) {
  const std::vector<Write> pdf = {{Machine, L".pdf", L"", L"abcFile"},
                                  {Machine, L"abcFile\\Shell\\open\\command", L"", L"C:\\Tools\\abc.exe %1"}};
  more.insert(more.begin(), pdf.begin(), pdf.end());
  return more;
}

TEST(EnforcedExtensions, ExplorerUsesOnlyTheChoiceAndOtherwiseWindowsDefaultAppFromWindows8On) {
  struct EnforcedCase {
    const char* what;
    assoc::WindowsVersion version;
    const wchar_t* extension;
    std::vector<Write> state;
    AssocSource source;
    std::wstring label;
    std::wstring note;
  };
  const std::vector<Write> pdf = PdfWith({});
  const EnforcedCase cases[] = {
      {"an enforced extension with classic records only", {10, 0}, L".pdf", pdf, AssocSource::WindowsDefault,
       L"Windows の既定", kWindowsDefaultNote},
      {"letter case aside", {10, 0}, L".PDF", pdf, AssocSource::WindowsDefault, L"Windows の既定", kWindowsDefaultNote},
      {"the user's classes do not count either", {6, 2}, L".pdf", PdfWith({{User, L".pdf", L"", L"abcFile"}}),
       AssocSource::WindowsDefault, L"Windows の既定", kWindowsDefaultNote},
      {"a choice decides as before", {10, 0}, L".pdf",
       PdfWith({{Choice, L".pdf\\UserChoice", L"ProgId", L"abcFile"}, {Choice, L".pdf\\UserChoice", L"Hash", L"h"}}),
       AssocSource::UserChoice, L"", L""},
      {"Windows 7 follows the classic records", {6, 1}, L".pdf", pdf, AssocSource::MachineClasses, L"", L""},
      {"an extension that is not enforced", {10, 0}, L".abc", kClassic, AssocSource::MachineClasses, L"", L""},
  };
  for (const EnforcedCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RegistrySandbox sandbox{testsupport::SandboxRoots::WithMachine};
    auto version = assoc::ExplorerWindowsVersion.Replace([&] { return c.version; });
    Apply(c.state);
    EXPECT_EQ(assoc::ExplorerMayDiffer(c.extension), c.source != AssocSource::MachineClasses);
    const auto a = assoc::ResolveAssociation(c.extension);
    EXPECT_EQ(a.source, c.source);
    EXPECT_EQ(a.differs, c.source == AssocSource::WindowsDefault);
    EXPECT_EQ(std::wstring(assoc::SourceLabel(a)) == L"Windows の既定", c.label == L"Windows の既定");
    if (c.source != AssocSource::UserChoice) {
      EXPECT_EQ(assoc::ExplorerNoteText(a), c.note);
    }
    EXPECT_EQ(assoc::NeedsWindowsChoice(a, false), c.source == AssocSource::WindowsDefault);
  }
}

TEST(ProtectedChoices, AreThoseWindowsWillNotLetThisProgramChangeOrRemove) {
  testsupport::RegistrySandbox sandbox;
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".pdf\\UserChoice", L"ProgId", REG_SZ, L"Reader");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".txt\\UserChoice", L"ProgId", REG_SZ, L"Editor");
  EXPECT_FALSE(assoc::IsChoiceProtected(L".pdf"));
  // What Windows' driver does to other programs: reading is allowed, removing is not.
  {
    common::UniqueHKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L".pdf\\UserChoice").c_str(), 0,
                            KEY_ALL_ACCESS, key.put()),
              ERROR_SUCCESS);
    common::UniqueHLocal readOnly;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;SD;;;WD)(A;;KR;;;WD)", SDDL_REVISION_1,
                                                                     readOnly.put(), nullptr));
    EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly.get()), ERROR_SUCCESS);
  }
  EXPECT_TRUE(assoc::IsChoiceProtected(L".pdf"));
  EXPECT_FALSE(assoc::IsChoiceProtected(L".txt"));
  EXPECT_FALSE(assoc::IsChoiceProtected(L".none"));
  EXPECT_FALSE(assoc::IsChoiceProtected(L".pdf\\UserChoice"));
}

TEST(EnforcedExtensions, AChoiceKeyWithoutAProgramLeavesItToWindowsAndAChosenTypeThatIsGoneIsSaid) {
  struct ChoiceCase {
    const char* what;
    std::vector<Write> state;
    AssocSource source;
    std::wstring label;
    std::wstring note;
  };
  const ChoiceCase cases[] = {
      {"no record at all", {}, AssocSource::WindowsDefault, L"Windows の既定", kWindowsDefaultNote},
      {"a choice key with a Hash but no ProgId", PdfWith({{Choice, L".pdf\\UserChoice", L"Hash", L"h"}}),
       AssocSource::WindowsDefault, L"Windows の既定", kWindowsDefaultNote},
      {"an empty ProgId", PdfWith({{Choice, L".pdf\\UserChoice", L"ProgId", L""}}), AssocSource::WindowsDefault,
       L"Windows の既定", kWindowsDefaultNote},
      {"a ProgId that is not text", PdfWith({{Choice, L".pdf\\UserChoice", L"ProgId", L"7", REG_DWORD}}),
       AssocSource::WindowsDefault, L"Windows の既定", kWindowsDefaultNote},
      {"the latest choice in its ProgId sub-key",
       PdfWith({{Choice, L".pdf\\UserChoiceLatest\\ProgId", L"ProgId", L"Viewer.pdf"},
             {Machine, L"Viewer.pdf\\shell\\open\\command", L"", L"C:\\v.exe %1"}}),
       AssocSource::UserChoice, L"利用者の選択", L"利用者の選択：エクスプローラーはこの拡張子を「C:\\v.exe」で開きます。"},
      {"a chosen file type that exists nowhere", PdfWith({{Choice, L".pdf\\UserChoice", L"ProgId", L"Gone.pdf"}}),
       AssocSource::UserChoice, L"選択先なし",
       L"選択先なし：エクスプローラーはこの拡張子を開くとき、使うプログラムを利用者に尋ねます。"},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RegistrySandbox sandbox{testsupport::SandboxRoots::WithMachine};
    auto version = assoc::ExplorerWindowsVersion.Replace([] { return assoc::WindowsVersion{10, 0}; });
    Apply(c.state);
    EXPECT_TRUE(assoc::ExplorerMayDiffer(L".pdf"));
    const auto a = assoc::ResolveAssociation(L".pdf");
    EXPECT_EQ(a.source, c.source);
    EXPECT_TRUE(a.differs);
    EXPECT_EQ(assoc::SourceLabel(a), c.label);
    EXPECT_EQ(assoc::ExplorerNoteText(a), c.note);
    // A choice leaves the register's records unused only when Windows will not let it go.
    EXPECT_EQ(assoc::NeedsWindowsChoice(a, false), c.source == AssocSource::WindowsDefault);
    EXPECT_TRUE(assoc::NeedsWindowsChoice(a, true));
  }
}

// Gives the key at path below FileExts the access list sddl, and a permissive one again when it
// ends, so that the sandbox can remove it.
class KeyAccess {
 public:
  KeyAccess(const std::wstring& path, const wchar_t* sddl) {
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (kFileExts + path).c_str(), 0, READ_CONTROL | WRITE_DAC, key_.put()),
              ERROR_SUCCESS);
    Set(sddl);
  }
  ~KeyAccess() { Set(L"D:P(A;;KA;;;WD)"); }
  KeyAccess(const KeyAccess&) = delete;
  KeyAccess& operator=(const KeyAccess&) = delete;

 private:
  void Set(const wchar_t* sddl) {
    common::UniqueHLocal descriptor;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(), nullptr));
    EXPECT_EQ(RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, descriptor.get()), ERROR_SUCCESS);
  }
  common::UniqueHKey key_;
};

TEST(ProtectedChoices, AreTheChoicesThisProgramMayNotRemove) {
  struct AccessCase {
    const char* what;
    const wchar_t* key;
    const wchar_t* sddl;
    bool isProtected;
  };
  const AccessCase cases[] = {
      // Windows' own mark on every choice it writes: the user may not set its values.
      {"setting values refused", L".pdf\\UserChoice", L"D:P(D;;0x2;;;WD)(A;;KA;;;WD)", false},
      {"the latest choice's removal refused", L".pdf\\UserChoiceLatest", L"D:P(D;;SD;;;WD)(A;;KA;;;WD)", true},
  };
  for (const AccessCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RegistrySandbox sandbox;
    for (const wchar_t* choice : {L".pdf\\UserChoice", L".pdf\\UserChoiceLatest"})
      WriteValue(HKEY_CURRENT_USER, kFileExts + std::wstring(choice), L"ProgId", REG_SZ, L"Reader");
    {
      KeyAccess access(c.key, c.sddl);
      EXPECT_EQ(assoc::IsChoiceProtected(L".pdf"), c.isProtected);
    }
    EXPECT_FALSE(assoc::IsChoiceProtected(L".pdf"));
  }
}

TEST(ProgramOfCommandTest, TakesTheFirstWord) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"\"C:\\Program Files\\x\\a.exe\" \"%1\"", L"C:\\Program Files\\x\\a.exe"},
      {L"C:\\x\\a.exe %1", L"C:\\x\\a.exe"},
      {L"C:\\x\\a.exe", L"C:\\x\\a.exe"},
      {L"\"C:\\unclosed", L"C:\\unclosed"},
      {L"", L""},
      {L" leading", L""},
  };
  for (const auto& [command, program] : cases) EXPECT_EQ(assoc::ProgramOfCommand(command), program) << testing::PrintToString(command);
}

}  // namespace
