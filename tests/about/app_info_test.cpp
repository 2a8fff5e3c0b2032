// The version reader against the tool's real version block, a block of two languages and
// files without a block; and the block itself as the resource compiler stored it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "about/app_info.h"
#include "about_fixture.h"
#include "common/exception.h"
#include "common/text.h"

namespace {

struct FieldCase {
  TkAppInfo::TInfoKind kind;
  const wchar_t* value;
};

// The tool's block as the reader answers it. LegalCopyright repeats CompanyName; ProductVersion
// differs from the fixed part's 0.0.2.0; PrivateBuild is absent and the others are present
// but empty.
const FieldCase kToolFields[] = {
    {TkAppInfo::aiComments, L""},
    {TkAppInfo::aiCompanyName, L"Tavrelo Works"},
    {TkAppInfo::aiFileDescription, L"拡張子の関連づけの閲覧・登録・修正・削除を簡単に行う"},
    {TkAppInfo::aiFileVersion, L"0.0.2.0"},
    {TkAppInfo::aiInternalName, L""},
    {TkAppInfo::aiLegalCopyright, L"Tavrelo Works"},
    {TkAppInfo::aiLegalTradeMarks, L""},
    {TkAppInfo::aiOriginalFilename, L""},
    {TkAppInfo::aiPrivateBuild, L""},
    {TkAppInfo::aiProductName, L"Tavrelo 関連づけ設定ソフト"},
    {TkAppInfo::aiProductVersion, L"1.0.0.0"},
    // Outside the enumeration: no key, no text.
    {static_cast<TkAppInfo::TInfoKind>(11), L""},
    {static_cast<TkAppInfo::TInfoKind>(-1), L""},
};

TEST(AppInfo, ReadsEveryFieldOfTheToolsBlockFromTheRunningProgramAndFromTheTool) {
  const TkAppInfo own;
  const TkAppInfo tool(BuildFile(L"tavrelo.exe"));
  for (const FieldCase& c : kToolFields) {
    EXPECT_EQ(own.GetInfo(c.kind), c.value) << "kind " << c.kind;
    EXPECT_EQ(tool.GetInfo(c.kind), c.value) << "kind " << c.kind;
  }
}

TEST(AppInfo, AsksTheStringTableOfTheFirstTranslation) {
  const TkAppInfo info(TestData(L"versioned.dll"));
  EXPECT_EQ(info.GetInfo(TkAppInfo::aiFileVersion), L"1.1.1.1");
  EXPECT_EQ(info.GetInfo(TkAppInfo::aiCompanyName), L"First language");
  EXPECT_EQ(info.GetInfo(TkAppInfo::aiProductName), L"");
}

TEST(AppInfo, AFileWithoutAVersionBlockCannotBeRead) {
  const std::wstring files[] = {
      TestData(L"icons3.dll"),        // a library with icons only
      TestData(L"no-such-file.exe"),  // missing
      BuildFile(L"tavrelo.chm"),      // not an executable at all
  };
  for (const std::wstring& file : files) {
    try {
      TkAppInfo info(file);
      ADD_FAILURE() << "read a version block from " << testing::PrintToString(file);
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), L"バージョン情報を取得できません") << testing::PrintToString(file);
    }
  }
}

// One node of a version block: its key, the length and type of its value, the value's bytes
// and its children.
struct VersionNode {
  std::wstring key;
  WORD valueLength = 0;
  WORD type = 0;
  const BYTE* value = nullptr;
  std::vector<VersionNode> children;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

// Parses the node at data (a wLength, wValueLength, wType, key, value, children record).
VersionNode ParseNode(const BYTE* data) {
  VersionNode node;
  WORD length = 0;
  std::memcpy(&length, data, 2);
  std::memcpy(&node.valueLength, data + 2, 2);
  std::memcpy(&node.type, data + 4, 2);
  node.key = reinterpret_cast<const wchar_t*>(data + 6);
  size_t offset = Align4(6 + (node.key.size() + 1) * sizeof(wchar_t));
  node.value = data + offset;
  // A text value counts characters, a binary one bytes.
  offset = Align4(offset + node.valueLength * (node.type == 1 ? sizeof(wchar_t) : 1));
  while (offset < length) {
    const BYTE* child = data + offset;
    WORD childLength = 0;
    std::memcpy(&childLength, child, 2);
    if (childLength == 0) break;
    node.children.push_back(ParseNode(child));
    offset = Align4(offset + childLength);
  }
  return node;
}

const VersionNode* Child(const VersionNode& node, const std::wstring& key) {
  for (const VersionNode& c : node.children)
    if (c.key == key) return &c;
  return nullptr;
}

TEST(AppInfo, TheToolsBlockIsStoredAsItsTableSays) {
  const std::wstring tool = BuildFile(L"tavrelo.exe");
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(tool.c_str(), &unused);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(tool.c_str(), 0, size, block.data()));

  const VersionNode root = ParseNode(block.data());
  EXPECT_EQ(root.key, L"VS_VERSION_INFO");

  // One translation: Japanese, code page 932.
  const VersionNode* varInfo = Child(root, L"VarFileInfo");
  ASSERT_TRUE(varInfo);
  const VersionNode* translation = Child(*varInfo, L"Translation");
  ASSERT_TRUE(translation);
  ASSERT_EQ(translation->valueLength, 4);
  DWORD entry = 0;
  std::memcpy(&entry, translation->value, 4);
  EXPECT_EQ(entry, 0x03A40411u);

  // One string table, its values in this order; each empty one is a single NUL.
  const VersionNode* stringInfo = Child(root, L"StringFileInfo");
  ASSERT_TRUE(stringInfo);
  ASSERT_EQ(stringInfo->children.size(), 1u);
  const VersionNode& table = stringInfo->children[0];
  EXPECT_EQ(table.key, L"041103A4");
  const std::pair<const wchar_t*, const wchar_t*> expected[] = {
      {L"CompanyName", L"Tavrelo Works"},
      {L"FileDescription", L"拡張子の関連づけの閲覧・登録・修正・削除を簡単に行う"},
      {L"FileVersion", L"0.0.2.0"},
      {L"InternalName", L""},
      {L"LegalCopyright", L"Tavrelo Works"},
      {L"LegalTrademarks", L""},
      {L"OriginalFilename", L""},
      {L"ProductName", L"Tavrelo 関連づけ設定ソフト"},
      {L"ProductVersion", L"1.0.0.0"},
      {L"Comments", L""},
  };
  ASSERT_EQ(table.children.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const VersionNode& value = table.children[i];
    const std::wstring text = expected[i].second;
    EXPECT_EQ(value.key, expected[i].first);
    EXPECT_EQ(value.type, 1) << "a text value";
    EXPECT_EQ(value.valueLength, text.size() + 1) << testing::PrintToString(value.key);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(value.value)), text);
  }

  // The fixed part, which the reader never looks at.
  void* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &fixed, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info->dwFileVersionMS, 0x00000000u);
  EXPECT_EQ(info->dwFileVersionLS, 0x00020000u);
  EXPECT_EQ(info->dwProductVersionMS, 0x00000000u);
  EXPECT_EQ(info->dwProductVersionLS, 0x00020000u);
  EXPECT_EQ(info->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(info->dwFileFlags, 0u);
  EXPECT_EQ(info->dwFileOS, 0x4u);
  EXPECT_EQ(info->dwFileType, 0x1u);
  EXPECT_EQ(info->dwFileSubtype, 0u);
}

}  // namespace

std::wstring BuildFile(const std::wstring& name) {
  std::wstring dir = common::ModuleFileName();
  for (int up = 0; up < 3; ++up) dir = dir.substr(0, dir.find_last_of(L'\\'));  // build\tests\about\x.exe
  return dir + L"\\" + name;
}

std::wstring TestData(const std::wstring& name) { return BuildFile(L"testdata\\" + name); }
