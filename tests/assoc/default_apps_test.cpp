// The default associations file: its export from registry states built in a sandbox that
// redirects the machine's and the user's keys, compared with the file DISM would write; its check
// against broken and hostile files; and an export checked on the same machine.
#include "assoc/default_apps.h"

#include <gtest/gtest.h>
#include <xmllite.h>

#include <string>
#include <vector>

#include "assoc/default_apps_texts.h"
#include "assoc/windows_version.h"
#include "common/handles.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using assoc::defaults::CheckResult;
using assoc::defaults::DefaultApp;
using assoc::defaults::ExportScope;
using assoc::defaults::Finding;
using assoc::defaults::FindingKind;
using assoc::defaults::Language;
using testsupport::Utf8;

// Where a value of a registry state lies.
enum Where { Machine, User, Choice, Url };

struct Write {
  Where where;
  std::wstring path;
  const wchar_t* name;
  std::wstring data;
};

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

void Apply(const std::vector<Write>& writes) {
  for (const Write& w : writes) {
    const HKEY root = w.where == Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const wchar_t* base = w.where == Choice ? kFileExts
                          : w.where == Url  ? L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\"
                                            : L"Software\\Classes\\";
    testsupport::WriteValue(root, base + w.path, w.name, REG_SZ, w.data);
  }
}

// The Windows that Explorer is judged for: 6.1 has no enforced types, 10.0 has.
auto JudgeFor(unsigned major, unsigned minor) {
  return assoc::ExplorerWindowsVersion.Replace([=] { return assoc::WindowsVersion{major, minor}; });
}

// The open command of a program in folder.
std::wstring Opens(const std::wstring& folder, const wchar_t* program) {
  return L"\"" + folder + L"\\" + program + L"\" \"%1\"";
}

// A sandbox (with the links made in it), and a folder holding the programs its records name.
class DefaultAppsFixture {
 protected:
  DefaultAppsFixture() {
    for (const wchar_t* program : {L"abc.exe", L"viewer.exe", L"edit.exe", L"tool.exe", L"browser.exe"})
      testsupport::WriteBytes(folder_ / program, "MZ");
    for (const wchar_t* library : {L"described.dll", L"product_only.dll"})
      CopyFileW(testsupport::TestData(library).c_str(), (folder_ / library).c_str(), FALSE);
    testsupport::CreateKey(HKEY_CURRENT_USER, L"Software\\Classes");
  }

  // The registry as one user of one machine has it: classic records, per-user choices of
  // extensions and protocols, names from every source, texts that need escaping, and records
  // that name nothing the file can hold.
  void BuildMachine() {
    const std::wstring& dir = folder_.Path();
    Apply({
        // Classic records only; the names come from the programs' file names.
        {Machine, L".abc", L"", L"abcFile"},
        {Machine, L".a&b", L"", L"abcFile"},
        {Machine, L"abcFile\\shell\\open\\command", L"", Opens(dir, L"abc.exe")},
        // The user's choice wins over the classic record; its open verb names the application.
        {Machine, L".DEF", L"", L"abcFile"},
        {Choice, L".DEF\\UserChoice", L"ProgId", L"Viewer.def"},
        {Choice, L".DEF\\UserChoice", L"Hash", L"q2x4="},
        {User, L"Viewer.def\\shell\\open", L"FriendlyAppName", L"ビューアー & <Co> \"V\" 'v'"},
        {User, L"Viewer.def\\shell\\open\\command", L"", Opens(dir, L"viewer.exe")},
        // Only a per-user choice; an indirect name is passed over for Applications\<exe>.
        {Choice, L".ghi\\UserChoiceLatest", L"ProgId", L"Editor.ghi"},
        {Machine, L"Editor.ghi\\shell\\open", L"FriendlyAppName", L"@%SystemRoot%\\system32\\shell32.dll,-8496"},
        {Machine, L"Editor.ghi\\shell\\open\\command", L"", Opens(dir, L"edit.exe")},
        {Machine, L"Applications\\edit.exe", L"FriendlyAppName", L"テキスト編集"},
        // Names from version blocks: the description first, else the product's name.
        {Machine, L".jkl", L"", L"jklFile"},
        {Machine, L"jklFile\\shell\\open\\command", L"", Opens(dir, L"described.dll")},
        {Machine, L".mno", L"", L"mnoFile"},
        {Machine, L"mnoFile\\shell\\open\\command", L"", Opens(dir, L"product_only.dll")},
        // A choice equal to the classic record but for letter case.
        {Machine, L".bar", L"", L"barFile"},
        {Machine, L"barFile\\shell\\open\\command", L"", L"notepad.exe %1"},
        {Choice, L".bar\\UserChoice", L"ProgId", L"BARFILE"},
        // A program on a network share is named, never opened.
        {Machine, L".net", L"", L"netFile"},
        {Machine, L"netFile\\shell\\open\\command", L"", L"\"\\\\server\\share\\net.exe\" \"%1\""},
        // A packaged app's file type starts no file.
        {Choice, L".pkg\\UserChoice", L"ProgId", L"AppXpkg1"},
        {User, L"AppXpkg1\\Application", L"ApplicationName", L"写真"},
        // An Open with program chosen; a name too long to take is passed over.
        {Choice, L".app\\UserChoice", L"ProgId", L"Applications\\tool.exe"},
        {Machine, L"Applications\\tool.exe", L"FriendlyAppName", std::wstring(1025, L'x')},
        {Machine, L"Applications\\tool.exe\\shell\\open\\command", L"", Opens(dir, L"tool.exe")},
        // Protocols: a classic one, and choices of the user (one of a guarded type).
        {Machine, L"tavrelo-x", L"URL Protocol", L""},
        {Machine, L"tavrelo-x\\shell\\open\\command", L"", Opens(dir, L"tool.exe")},
        {Url, L"http\\UserChoice", L"ProgId", L"Browser&Co.Url"},
        {Url, L"https\\UserChoiceLatest", L"ProgId", L"Browser&Co.Url"},
        {Url, L"Zeta\\UserChoice", L"ProgId", L"Browser&Co.Url"},
        {User, L"Browser&Co.Url\\shell\\open\\command", L"", Opens(dir, L"browser.exe")},
        // Left out: a type that is gone, a program that is not there, a type that starts
        // nothing, a type reached through a link, names the file cannot hold, and Windows'
        // own default app of a guarded type.
        {Choice, L".gone\\UserChoice", L"ProgId", L"Gone.Type"},
        {Machine, L".miss", L"", L"missFile"},
        {Machine, L"missFile\\shell\\open\\command", L"", Opens(dir, L"missing.exe")},
        {Machine, L".nop", L"", L"nopFile"},
        {Machine, L"nopFile", L"", L"何も起動しない"},
        {Choice, L".lnk1\\UserChoice", L"ProgId", L"Linked.Type"},
        {Machine, L".a*b", L"", L"abcFile"},
        {Machine, L"bad scheme", L"URL Protocol", L""},
        {Machine, L"bad scheme\\shell\\open\\command", L"", Opens(dir, L"tool.exe")},
        {Machine, L".ctl", L"", L"ctl\x01Type"},
        {Machine, L"ctl\x01Type\\shell\\open\\command", L"", Opens(dir, L"abc.exe")},
        {Machine, L".pdf", L"", L"abcFile"},
    });
    sandbox_.CreateLink(HKEY_CURRENT_USER, L"Software\\Classes\\Linked.Type", HKEY_LOCAL_MACHINE,
                        L"Software\\Classes\\abcFile");
    // The user's records of an extension made links to records of others.
    sandbox_.CreateLink(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".lnk2", HKEY_CURRENT_USER,
                        std::wstring(kFileExts) + L".DEF");
    sandbox_.CreateLink(HKEY_CURRENT_USER, L"Software\\Classes\\.lnk3", HKEY_LOCAL_MACHINE,
                        L"Software\\Classes\\.abc");
  }

  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
  testsupport::TempFolder folder_;
};

// The file's lines, each ended with CR LF.
std::string Lines(std::initializer_list<std::wstring_view> lines) {
  std::string bytes;
  for (std::wstring_view line : lines) bytes += Utf8(line) + "\r\n";
  return bytes;
}

// ---- export

struct ExportCase {
  const char* name;
  ExportScope scope;
  std::string expected;
};

void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }

class DefaultAppsExportTest : public DefaultAppsFixture, public testing::TestWithParam<ExportCase> {};

TEST_P(DefaultAppsExportTest, WritesWhatThisUserOpensAsDismDoes) {
  ASSERT_TRUE(sandbox_.Ok());
  const auto windows = JudgeFor(10, 0);
  BuildMachine();
  const auto machineBefore = testsupport::Snapshot(sandbox_.Machine());
  const auto userBefore = testsupport::Snapshot(sandbox_.User());

  const std::string file = assoc::defaults::DefaultAppsXml(assoc::defaults::CollectDefaultApps(GetParam().scope));

  EXPECT_EQ(file, GetParam().expected);
  EXPECT_EQ(testsupport::Snapshot(sandbox_.Machine()), machineBefore);
  EXPECT_EQ(testsupport::Snapshot(sandbox_.User()), userBefore);
}

const ExportCase kExportCases[] = {
    {"All", ExportScope::All,
     Lines({
         LR"(<?xml version="1.0" encoding="UTF-8"?>)",
         LR"(<DefaultAssociations>)",
         LR"(  <Association Identifier=".a&amp;b" ProgId="abcFile" ApplicationName="abc.exe" />)",
         LR"(  <Association Identifier=".abc" ProgId="abcFile" ApplicationName="abc.exe" />)",
         LR"(  <Association Identifier=".app" ProgId="Applications\tool.exe" ApplicationName="tool.exe" />)",
         LR"(  <Association Identifier=".bar" ProgId="BARFILE" ApplicationName="notepad.exe" />)",
         LR"(  <Association Identifier=".DEF" ProgId="Viewer.def" ApplicationName="ビューアー &amp; &lt;Co&gt; &quot;V&quot; 'v'" />)",
         LR"(  <Association Identifier=".ghi" ProgId="Editor.ghi" ApplicationName="テキスト編集" />)",
         LR"(  <Association Identifier=".jkl" ProgId="jklFile" ApplicationName="説明のあるビューアー" />)",
         LR"(  <Association Identifier=".mno" ProgId="mnoFile" ApplicationName="Product Only Tool" />)",
         LR"(  <Association Identifier=".net" ProgId="netFile" ApplicationName="net.exe" />)",
         LR"(  <Association Identifier=".pkg" ProgId="AppXpkg1" ApplicationName="写真" />)",
         LR"(  <Association Identifier="http" ProgId="Browser&amp;Co.Url" ApplicationName="browser.exe" />)",
         LR"(  <Association Identifier="https" ProgId="Browser&amp;Co.Url" ApplicationName="browser.exe" />)",
         LR"(  <Association Identifier="tavrelo-x" ProgId="tavrelo-x" ApplicationName="tool.exe" />)",
         LR"(  <Association Identifier="Zeta" ProgId="Browser&amp;Co.Url" ApplicationName="browser.exe" />)",
         LR"(</DefaultAssociations>)",
     })},
    {"Changed", ExportScope::Changed,
     Lines({
         LR"(<?xml version="1.0" encoding="UTF-8"?>)",
         LR"(<DefaultAssociations>)",
         LR"(  <Association Identifier=".app" ProgId="Applications\tool.exe" ApplicationName="tool.exe" />)",
         LR"(  <Association Identifier=".DEF" ProgId="Viewer.def" ApplicationName="ビューアー &amp; &lt;Co&gt; &quot;V&quot; 'v'" />)",
         LR"(  <Association Identifier=".ghi" ProgId="Editor.ghi" ApplicationName="テキスト編集" />)",
         LR"(  <Association Identifier=".pkg" ProgId="AppXpkg1" ApplicationName="写真" />)",
         LR"(  <Association Identifier="http" ProgId="Browser&amp;Co.Url" ApplicationName="browser.exe" />)",
         LR"(  <Association Identifier="https" ProgId="Browser&amp;Co.Url" ApplicationName="browser.exe" />)",
         LR"(  <Association Identifier="Zeta" ProgId="Browser&amp;Co.Url" ApplicationName="browser.exe" />)",
         LR"(</DefaultAssociations>)",
     })},
};

INSTANTIATE_TEST_SUITE_P(Scopes, DefaultAppsExportTest, testing::ValuesIn(kExportCases),
                         [](const testing::TestParamInfo<ExportCase>& info) { return info.param.name; });

TEST(DefaultAppsXmlTest, WritesAnEmptyListAsAnEmptyRoot) {
  EXPECT_EQ(assoc::defaults::DefaultAppsXml({}),
            Lines({LR"(<?xml version="1.0" encoding="UTF-8"?>)", L"<DefaultAssociations />"}));
}

// ---- check

// The file of a check, in UTF-8 unless told: the declaration, the root (with attributes), then body.
std::string Doc(const std::string& body, const std::string& rootAttributes = "",
                const std::string& declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)") {
  return declaration + "\r\n<DefaultAssociations" + rootAttributes + ">\r\n" + body + "</DefaultAssociations>\r\n";
}

// One Association line.
std::string A(const std::string& identifier, const std::string& progId, const std::string& more = "") {
  return "  <Association Identifier=\"" + identifier + "\" ProgId=\"" + progId + "\" ApplicationName=\"V\"" + more +
         " />\r\n";
}

// ASCII text as little-endian UTF-16.
std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += {c, '\0'};
  return bytes;
}

std::string BigEndianUtf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += {'\0', c};
  return bytes;
}

// What a finding must say: its kind, its line, and what the file asks (where it asks nothing,
// the identifier).
struct Expected {
  FindingKind kind;
  unsigned line;
  std::wstring text = L"";
  bool operator==(const Expected&) const = default;
};

void PrintTo(const Expected& e, std::ostream* os) {
  *os << "{kind " << static_cast<int>(e.kind) << ", line " << e.line << ", " << Utf8(e.text) << "}";
}

struct CheckCase {
  const char* name;
  std::string file;
  std::vector<Expected> findings;
  bool nothingWrong;
  HRESULT code = S_OK;  // the reader's error, when the file is Malformed
  bool windows10 = false;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class DefaultAppsCheckTest : public DefaultAppsFixture, public testing::TestWithParam<CheckCase> {};

TEST_P(DefaultAppsCheckTest, ReportsWhatIsWrongWithTheFile) {
  ASSERT_TRUE(sandbox_.Ok());
  const CheckCase& c = GetParam();
  const auto windows = c.windows10 ? JudgeFor(10, 0) : JudgeFor(6, 1);
  Apply({
      {Machine, L"abcFile\\shell\\open\\command", L"", Opens(folder_.Path(), L"abc.exe")},
      {Machine, L"missingFile\\shell\\open\\command", L"", Opens(folder_.Path(), L"missing.exe")},
  });
  sandbox_.CreateLink(HKEY_CURRENT_USER, L"Software\\Classes\\Linked.Type", HKEY_LOCAL_MACHINE,
                      L"Software\\Classes\\abcFile");
  const auto machineBefore = testsupport::Snapshot(sandbox_.Machine());
  const auto userBefore = testsupport::Snapshot(sandbox_.User());

  const CheckResult result = assoc::defaults::CheckDefaultAppsBytes(c.file);

  std::vector<Expected> found;
  for (const Finding& f : result.findings) found.push_back({f.kind, f.line, f.asked.empty() ? f.identifier : f.asked});
  EXPECT_EQ(found, c.findings);
  EXPECT_EQ(result.nothingWrong, c.nothingWrong);
  if (c.code != S_OK) {
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(result.findings[0].code, c.code);
  }
  EXPECT_EQ(testsupport::Snapshot(sandbox_.Machine()), machineBefore);
  EXPECT_EQ(testsupport::Snapshot(sandbox_.User()), userBefore);
}

const std::string kGood = A(".abc", "abcFile");
const std::string kNested = "  <a><b><c><d><e><f><g><h /></g></f></e></d></c></b></a>\r\n";

const CheckCase kCheckCases[] = {
    {"Clean", Doc(kGood), {}, true},
    {"Utf8WithByteOrderMark", "\xEF\xBB\xBF" + Doc(kGood), {}, true},
    {"Utf16WithByteOrderMark",
     "\xFF\xFE" + Utf16(Doc(kGood, "", R"(<?xml version="1.0" encoding="UTF-16"?>)")),
     {},
     true},
    // Encodings.
    {"Utf16WithoutByteOrderMark", Utf16(Doc(kGood, "", "")), {{FindingKind::BadEncoding, 1}}, false},
    {"Utf16BigEndian", "\xFE\xFF" + BigEndianUtf16(Doc(kGood)), {{FindingKind::BadEncoding, 1}}, false},
    {"DeclarationSaysUtf16OfUtf8",
     Doc(kGood, "", R"(<?xml version="1.0" encoding="UTF-16"?>)"),
     {{FindingKind::EncodingMismatch, 1, L"UTF-16"}},
     false},
    {"DeclarationSaysUtf8OfUtf16",
     "\xFF\xFE" + Utf16(Doc(kGood)),
     {{FindingKind::EncodingMismatch, 1, L"UTF-8"}},
     false},
    {"DeclarationNamesAnotherEncoding",
     Doc(kGood, "", R"(<?xml version="1.0" encoding="Shift_JIS"?>)"),
     {{FindingKind::Malformed, 1}},
     false},
    {"BrokenUtf8", Doc(kGood + A(".def", "abcFile\xC3\x28")), {{FindingKind::BadEncoding, 4}}, false},
    {"OverlongUtf8", Doc(kGood + kGood + A(".def", "\xC0\xBC")), {{FindingKind::BadEncoding, 5}}, false},
    // What the reader refuses.
    {"DocumentTypeDefinition",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE DefaultAssociations [<!ENTITY x \"abcFile\">]>\r\n"
     "<DefaultAssociations>\r\n" +
         A(".abc", "&x;") + "</DefaultAssociations>\r\n",
     {{FindingKind::Malformed, 2}},
     false,
     static_cast<HRESULT>(WC_E_DTDPROHIBITED)},
    {"UndefinedEntity",
     Doc(A(".abc", "&x;")),
     {{FindingKind::Malformed, 3}},
     false,
     static_cast<HRESULT>(WC_E_UNDECLAREDENTITY)},
    {"NestedTooDeep", Doc(kNested), {{FindingKind::Malformed, 3}}, false, static_cast<HRESULT>(SC_E_MAXELEMENTDEPTH)},
    {"EndTagMissing",
     Doc("  <Association Identifier=\".abc\" ProgId=\"abcFile\" ApplicationName=\"V\">\r\n"),
     {{FindingKind::Malformed, 4}},
     false,
     static_cast<HRESULT>(WC_E_ELEMENTMATCH)},
    {"AttributeTwice",
     Doc(A(".abc", "abcFile", " Identifier=\".def\"")),
     {{FindingKind::Malformed, 3}},
     false,
     static_cast<HRESULT>(WC_E_UNIQUEATTRIBUTE)},
    {"OnlyAComment",
     "<?xml version=\"1.0\"?>\r\n<!-- DefaultAssociations -->\r\n",
     {{FindingKind::Malformed, 0}},
     false,
     static_cast<HRESULT>(MX_E_INPUTEND)},
    {"AnotherRoot",
     "<?xml version=\"1.0\"?>\r\n<DefaultAssociation>\r\n" + kGood + "</DefaultAssociation>\r\n",
     {{FindingKind::NotDefaultAssociations, 2, L"DefaultAssociation"}},
     false},
    // Elements and attributes.
    {"DuplicateInOtherLetterCase",
     Doc(kGood + A(".def", "abcFile") + A(".ABC", "abcFile")),
     {{FindingKind::Duplicate, 5, L".abc"}},
     false},
    {"UnknownElementsAttributesAndText",
     Doc("  <Assoc Identifier=\".abc\" ProgId=\"abcFile\" ApplicationName=\"V\" />\r\n"
         "  <Association Identifier=\".def\" ProgID=\"abcFile\" ApplicationName=\"V\" />\r\n"
         "  <Association Identifier=\".ghi\" ProgId=\"abcFile\" ApplicationName=\"V\">\r\n"
         "    <Note />\r\n"
         "  </Association>\r\n"
         "  <Association Identifier=\".jkl\" ProgId=\"abcFile\" ApplicationName=\"V\" />junk"
         "<Association Identifier=\".mno\" ProgId=\"abcFile\" ApplicationName=\"V\" />\r\n",
         " xmlns=\"urn:x\""),
     {{FindingKind::UnknownAttribute, 2, L"xmlns"},
      {FindingKind::UnknownElement, 3, L"Assoc"},
      {FindingKind::UnknownAttribute, 4, L"ProgID"},
      {FindingKind::MissingAttribute, 4, L"ProgId"},
      {FindingKind::UnknownElement, 6, L"Note"},
      {FindingKind::UnexpectedText, 8, L"junk"}},
     false},
    {"MissingAttributes",
     Doc("  <Association Identifier=\"\" ProgId=\"abcFile\" />\r\n"),
     {{FindingKind::MissingAttribute, 3, L"Identifier"}, {FindingKind::MissingAttribute, 3, L"ApplicationName"}},
     false},
    {"BadIdentifiers",
     Doc(A("a b", "abcFile") + A(".a*b", "abcFile") + A("1http", "abcFile") + A(".", "abcFile") +
         A(".abc.", "abcFile") + A("http:", "abcFile")),
     {{FindingKind::BadIdentifier, 3, L"a b"},
      {FindingKind::BadIdentifier, 4, L".a*b"},
      {FindingKind::BadIdentifier, 5, L"1http"},
      {FindingKind::BadIdentifier, 6, L"."},
      {FindingKind::BadIdentifier, 7, L".abc."},
      {FindingKind::BadIdentifier, 8, L"http:"}},
     false},
    // This machine.
    {"ProgIdsMissingHere",
     Doc(A(".abc", "Gone.Type") + A(".def", "abcFile\\shell") + A(".ghi", "Linked.Type")),
     {{FindingKind::ProgIdMissing, 3, L"Gone.Type"},
      {FindingKind::ProgIdMissing, 4, L"abcFile\\shell"},
      {FindingKind::ProgIdMissing, 5, L"Linked.Type"}},
     false},
    {"ProgramMissingHere", Doc(A(".abc", "missingFile")), {{FindingKind::ProgramMissing, 3, L"missingFile"}}, false},
    {"GuardedTypes",
     Doc(A(".pdf", "abcFile") + A("HTTPS", "abcFile") + A(".Png", "abcFile")),
     {{FindingKind::Protected, 3, L".pdf"},
      {FindingKind::Protected, 4, L"HTTPS"},
      {FindingKind::Protected, 5, L".Png"}},
     true,
     S_OK,
     true},
    {"GuardedTypesBeforeWindows8", Doc(A(".pdf", "abcFile") + A("https", "abcFile")), {}, true},
    // Windows 11 22H2 and later.
    {"NewerAttributes",
     Doc(A(".abc", "abcFile", " Suggested=\"true\"") + A(".def", "abcFile", " Suggested=\"false\""), " Version=\"2\""),
     {{FindingKind::NewerWindowsOnly, 2, L"Version"},
      {FindingKind::NewerWindowsOnly, 3, L"Suggested"},
      {FindingKind::AppliedAtEverySignIn, 4, L".def"}},
     true},
    {"NewerAttributesWithBadValues",
     Doc(A(".abc", "abcFile", " Suggested=\"yes\""), " Version=\"1.5\""),
     {{FindingKind::NewerWindowsOnly, 2, L"Version"},
      {FindingKind::BadValue, 2, L"Version"},
      {FindingKind::NewerWindowsOnly, 3, L"Suggested"},
      {FindingKind::BadValue, 3, L"Suggested"}},
     false},
};

INSTANTIATE_TEST_SUITE_P(Files, DefaultAppsCheckTest, testing::ValuesIn(kCheckCases),
                         [](const testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

class DefaultAppsCheckHereTest : public DefaultAppsFixture, public testing::Test {};

TEST_F(DefaultAppsCheckHereTest, SetsWhatThisMachineHasBesideWhatTheFileAsks) {
  ASSERT_TRUE(sandbox_.Ok());
  const auto windows = JudgeFor(6, 1);
  const std::wstring missing = folder_ / L"missing.exe";
  Apply({
      {Machine, L".abc", L"", L"abcFile"},
      {Machine, L"abcFile\\shell\\open\\command", L"", Opens(folder_.Path(), L"abc.exe")},
      {Machine, L"missingFile\\shell\\open\\command", L"", L"\"" + missing + L"\" \"%1\""},
  });

  const CheckResult result = assoc::defaults::CheckDefaultAppsBytes(
      Doc(A(".abc", "Gone.Type") + A(".def", "missingFile") + A(".ABC", "abcFile", " Suggested=\"maybe\"")));

  const struct {
    FindingKind kind;
    std::wstring identifier, here, asked;
  } expected[] = {
      {FindingKind::ProgIdMissing, L".abc", L"abcFile", L"Gone.Type"},
      {FindingKind::ProgramMissing, L".def", missing, L"missingFile"},
      {FindingKind::NewerWindowsOnly, L"", L"", L"Suggested"},
      {FindingKind::BadValue, L".ABC", L"maybe", L"Suggested"},
      {FindingKind::Duplicate, L".ABC", L"3", L".abc"},
  };
  ASSERT_EQ(result.findings.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(result.findings[i].kind, expected[i].kind) << i;
    EXPECT_EQ(result.findings[i].identifier, expected[i].identifier) << i;
    EXPECT_EQ(result.findings[i].here, expected[i].here) << i;
    EXPECT_EQ(result.findings[i].asked, expected[i].asked) << i;
  }
  ASSERT_EQ(result.associations.size(), 3u);
  EXPECT_EQ(result.associations[0].asked, (DefaultApp{L".abc", L"Gone.Type", L"V"}));
  EXPECT_EQ(result.associations[0].here, (DefaultApp{L".abc", L"abcFile", L"abc.exe"}));
  EXPECT_EQ(result.associations[1].here, std::nullopt);
  EXPECT_EQ(result.associations[2].here, std::nullopt) << "a repeated identifier is not looked up again";
}

// ---- files

class DefaultAppsFileTest : public testing::Test {
 protected:
  testsupport::TempFolder folder_;
};

TEST_F(DefaultAppsFileTest, RefusesWhatIsNoPlainFileBeforeReadingIt) {
  const std::wstring pipeName = L"\\\\.\\pipe\\tavrelo-default-apps-" + std::to_wstring(GetCurrentProcessId());
  const common::UniqueFileHandle pipe(
      CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
  ASSERT_TRUE(pipe);
  const struct {
    std::wstring path;
    FindingKind kind;
  } cases[] = {
      {folder_ / L"missing.xml", FindingKind::CannotRead},
      {L"NUL", FindingKind::NotPlainFile},
      {pipeName, FindingKind::NotPlainFile},
  };
  for (const auto& c : cases) {
    const CheckResult result = assoc::defaults::CheckDefaultAppsFile(c.path);
    ASSERT_EQ(result.findings.size(), 1u) << Utf8(c.path);
    EXPECT_EQ(result.findings[0].kind, c.kind) << Utf8(c.path);
    EXPECT_FALSE(result.nothingWrong);
  }
}

TEST_F(DefaultAppsFileTest, ReadsSixteenMegabytesAndNotOneByteMore) {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  // Blanks between the elements pad the file to size bytes.
  const auto padded = [](size_t size) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DefaultAssociations>\r\n";
    const std::string tail = "</DefaultAssociations>\r\n";
    return head + std::string(size - head.size() - tail.size(), ' ') + tail;
  };
  testsupport::WriteBytes(folder_ / L"limit.xml", padded(assoc::defaults::kLargestCheckedFile));
  const CheckResult limit = assoc::defaults::CheckDefaultAppsFile(folder_ / L"limit.xml");
  EXPECT_TRUE(limit.nothingWrong);
  EXPECT_TRUE(limit.findings.empty());

  testsupport::WriteBytes(folder_ / L"over.xml", padded(assoc::defaults::kLargestCheckedFile + 1));
  const CheckResult over = assoc::defaults::CheckDefaultAppsFile(folder_ / L"over.xml");
  ASSERT_EQ(over.findings.size(), 1u);
  EXPECT_EQ(over.findings[0].kind, FindingKind::TooLarge);
  EXPECT_EQ(over.findings[0].here, std::to_wstring(assoc::defaults::kLargestCheckedFile + 1));
}

// ---- export, then check

class DefaultAppsRoundTripTest : public DefaultAppsFixture, public testing::Test {};

TEST_F(DefaultAppsRoundTripTest, AFileExportedHereIsRightHere) {
  ASSERT_TRUE(sandbox_.Ok());
  const auto windows = JudgeFor(10, 0);
  BuildMachine();
  const std::vector<DefaultApp> apps = assoc::defaults::CollectDefaultApps(ExportScope::All);
  testsupport::WriteBytes(folder_ / L"exported.xml", assoc::defaults::DefaultAppsXml(apps));

  const CheckResult result = assoc::defaults::CheckDefaultAppsFile(folder_ / L"exported.xml");

  EXPECT_TRUE(result.nothingWrong);
  // Only the guarded protocols are noted.
  std::vector<Expected> notes;
  for (const Finding& f : result.findings) notes.push_back({f.kind, f.line, f.identifier});
  EXPECT_EQ(notes,
            (std::vector<Expected>{{FindingKind::Protected, 13, L"http"}, {FindingKind::Protected, 14, L"https"}}));
  ASSERT_EQ(result.associations.size(), apps.size());
  for (size_t i = 0; i < apps.size(); ++i) {
    EXPECT_EQ(result.associations[i].asked, apps[i]);
    EXPECT_EQ(result.associations[i].here, apps[i]);
    EXPECT_EQ(result.associations[i].line, i + 3);
  }
}

// ---- sentences

TEST(DefaultAppsTextsTest, EveryKindHasOneRowWithBothLanguagesAndEnglishForAnyConsole) {
  for (int kind = 0; kind <= static_cast<int>(FindingKind::AppliedAtEverySignIn); ++kind) {
    int rows = 0;
    for (const assoc::defaults::FindingText& row : assoc::defaults::kFindingTexts) {
      if (static_cast<int>(row.kind) != kind) continue;
      ++rows;
      EXPECT_NE(std::wstring_view(row.japanese), L"") << kind;
      const std::wstring_view english = row.english;
      EXPECT_NE(english, L"") << kind;
      EXPECT_TRUE(std::all_of(english.begin(), english.end(), [](wchar_t c) { return c >= 0x20 && c < 0x7F; }))
          << "the console's fallback must be ASCII: kind " << kind;
    }
    EXPECT_EQ(rows, 1) << kind;
  }
}

TEST(DefaultAppsTextsTest, SentencesShowTheFilesTextsOnOneLineAndCutThem) {
  Finding finding;
  finding.kind = FindingKind::ProgIdMissing;
  finding.line = 7;
  finding.identifier = L".abc";
  finding.asked = L"Evil\r\nLine 1：{here}\x202E";
  const struct {
    Language language;
    std::wstring expected;
  } cases[] = {
      {Language::Japanese,
       L"7行目：「.abc」のファイルタイプ「Evil\\u000D\\u000ALine "
       L"1：{here}\\u202E」が、このコンピューターにありません。Windows "
       L"はこの指定を何も言わずに飛ばします。"},
      {Language::English,
       L"Line 7: the ProgId \"Evil\\u000D\\u000ALine 1：{here}\\u202E\" of \".abc\" does not exist on this computer; "
       L"Windows skips the line without a word."},
  };
  for (const auto& c : cases) EXPECT_EQ(assoc::defaults::FindingSentence(finding, c.language), c.expected);

  finding.asked = std::wstring(assoc::defaults::kShownLimit, L'x') + L"tail";
  const std::wstring sentence = assoc::defaults::FindingSentence(finding, Language::English);
  EXPECT_NE(sentence.find(std::wstring(assoc::defaults::kShownLimit, L'x') + L"…\""), std::wstring::npos)
      << Utf8(sentence);
  EXPECT_EQ(sentence.find(L"tail"), std::wstring::npos);
}

TEST(DefaultAppsTextsTest, ReaderErrorsAreNamedWhereKnownAndByCodeElsewhere) {
  Finding finding;
  finding.kind = FindingKind::Malformed;
  finding.line = 2;
  finding.column = 5;
  finding.code = static_cast<HRESULT>(WC_E_DTDPROHIBITED);
  EXPECT_EQ(assoc::defaults::FindingSentence(finding, Language::English),
            L"Line 2, column 5: this is not well-formed XML. A DOCTYPE (document type definition) is not allowed.");
  finding.code = static_cast<HRESULT>(WC_E_SYNTAX);
  EXPECT_EQ(assoc::defaults::FindingSentence(finding, Language::Japanese),
            L"2行目 5文字目：XML として読めません。（エラー 0xC00CEE2D）");
}

TEST(DefaultAppsTextsTest, SummaryCountsProblemsAndNotesApart) {
  CheckResult result;
  EXPECT_EQ(assoc::defaults::CheckSummary(result, Language::Japanese), L"問題は見つかりませんでした。");
  result.findings = {Finding{FindingKind::Protected}, Finding{FindingKind::Duplicate}, Finding{FindingKind::BadValue}};
  EXPECT_EQ(assoc::defaults::CheckSummary(result, Language::Japanese),
            L"問題が 2 件見つかりました。注意が 1 件あります。");
  EXPECT_EQ(assoc::defaults::CheckSummary(result, Language::English), L"2 problems found. 1 note.");
}

}  // namespace
