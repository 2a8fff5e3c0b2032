// The list's default associations file commands without a window: the save's outcome and what
// the file holds after it, and the text of a check's box from its findings.
#include "assoclist/default_apps_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assoc/default_apps_texts.h"
#include "support/temp_files.h"

namespace {

using assoc::defaults::CheckResult;
using assoc::defaults::DefaultApp;
using assoc::defaults::Finding;
using assoc::defaults::FindingKind;

const std::vector<DefaultApp> kApps = {{L".abc", L"abcFile", L"ABC"}, {L"mailto", L"Mail.Url", L"メール"}};

// Where a save goes: a new file, a file it replaces, a folder, or a read-only file.
enum class Target { NewFile, OldFile, Folder, ReadOnlyFile };

struct SaveCase {
  const char* name;
  Target target;
  std::vector<DefaultApp> apps;
  bool written;
  const wchar_t* message;  // exact; null for a failure, whose message names the path
};

class WriteDefaultAppsTest : public testing::TestWithParam<SaveCase> {};

TEST_P(WriteDefaultAppsTest, WritesTheWholeFileOrLeavesItAsItWas) {
  const SaveCase& c = GetParam();
  const testsupport::TempFolder folder;
  std::wstring path = folder / L"既定のアプリ.xml";
  if (c.target == Target::OldFile || c.target == Target::ReadOnlyFile) testsupport::WriteBytes(path, "old");
  if (c.target == Target::ReadOnlyFile) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  }
  if (c.target == Target::Folder) path = folder.Path();

  const assoclist::SaveOutcome outcome = assoclist::WriteDefaultApps(path, c.apps);

  EXPECT_EQ(outcome.written, c.written);
  EXPECT_EQ(outcome.failed, !c.written);
  if (c.message) {
    EXPECT_EQ(outcome.message, c.message);
  } else {
    EXPECT_NE(outcome.message.find(path), std::wstring::npos) << testing::PrintToString(outcome.message);
  }
  switch (c.target) {
    case Target::NewFile:
    case Target::OldFile:
      EXPECT_EQ(testsupport::ReadBytes(path), assoc::defaults::DefaultAppsXml(c.apps));
      break;
    case Target::ReadOnlyFile:
      EXPECT_EQ(testsupport::ReadBytes(path), "old");
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      break;
    case Target::Folder:
      EXPECT_TRUE(testsupport::FolderEntries(folder.Path()).empty());
      break;
  }
}

const SaveCase kSaveCases[] = {
    {"NewFile", Target::NewFile, kApps, true, L"既定の関連づけ 2 件を保存しました。"},
    {"NoneKnownStillWritesTheEmptyRoot", Target::NewFile, {}, true, L"既定の関連づけ 0 件を保存しました。"},
    {"ReplacesAnOldFile", Target::OldFile, kApps, true, L"既定の関連づけ 2 件を保存しました。"},
    {"FolderIsRefused", Target::Folder, kApps, false, nullptr},
    {"ReadOnlyFileStays", Target::ReadOnlyFile, kApps, false, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Targets, WriteDefaultAppsTest, testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

Finding Missing(unsigned line, std::wstring identifier = L".abc") {
  return {FindingKind::ProgIdMissing, std::move(identifier), L"", L"abcFile", line};
}
Finding Guarded(unsigned line) { return {FindingKind::Protected, L"http", L"", L"", line}; }

CheckResult Result(std::vector<Finding> findings) {
  CheckResult result;
  result.findings = std::move(findings);
  result.nothingWrong = std::none_of(result.findings.begin(), result.findings.end(), [](const Finding& f) {
    return assoc::defaults::SeverityOf(f.kind) == assoc::defaults::Severity::Problem;
  });
  return result;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t at = 0;
  for (size_t end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1)
    lines.push_back(text.substr(at, end - at));
  lines.push_back(text.substr(at));
  return lines;
}

TEST(CheckMessageTest, ListsTheFindingsThenTheSummaryAndWarnsOnlyOfProblems) {
  struct Case {
    const char* name;
    std::vector<Finding> findings;
    assoclist::BoxMessage expected;
  };
  const Case cases[] = {
      {"Nothing found", {}, {false, L"問題は見つかりませんでした。"}},
      {"Notes only inform",
       {Guarded(4)},
       {false,
        L"4行目：「http」は、Windows が既定のアプリの選択を保護する種類です。この指定が使われないことがあります。\n"
        L"\n"
        L"問題は見つかりませんでした。注意が 1 件あります。"}},
      {"A problem warns",
       {Missing(3), Guarded(4)},
       {true,
        L"3行目：「.abc」のファイルタイプ「abcFile」が、このコンピューターにありません。"
        L"Windows はこの指定を何も言わずに飛ばします。\n"
        L"4行目：「http」は、Windows が既定のアプリの選択を保護する種類です。この指定が使われないことがあります。\n"
        L"\n"
        L"問題が 1 件見つかりました。注意が 1 件あります。"}},
  };
  for (const Case& c : cases) EXPECT_EQ(assoclist::CheckMessage(Result(c.findings)), c.expected) << c.name;
}

TEST(CheckMessageTest, ManyFindingsShowTheFirstThirtyAndCountTheRest) {
  for (size_t count : {assoclist::kMostFindingsShown, assoclist::kMostFindingsShown + 1, size_t{1234}}) {
    std::vector<Finding> findings;
    for (size_t i = 0; i < count; ++i) findings.push_back(Missing(static_cast<unsigned>(i + 3)));
    const CheckResult result = Result(findings);
    const std::vector<std::wstring> lines = Lines(assoclist::CheckMessage(result).text);

    const size_t shown = std::min(count, assoclist::kMostFindingsShown);
    const bool more = count > shown;
    ASSERT_EQ(lines.size(), shown + (more ? 1 : 0) + 2) << count;
    EXPECT_EQ(lines[0], assoc::defaults::FindingSentence(findings[0], assoc::defaults::Language::Japanese));
    EXPECT_EQ(lines[shown - 1],
              assoc::defaults::FindingSentence(findings[shown - 1], assoc::defaults::Language::Japanese));
    if (more) {
      EXPECT_EQ(lines[shown], count == 1234 ? L"ほかに 1,204 件あります。ここでは最初の 30 件だけを表示しています。"
                                            : L"ほかに 1 件あります。ここでは最初の 30 件だけを表示しています。");
    }
    EXPECT_EQ(lines[lines.size() - 2], L"");
    EXPECT_EQ(lines.back(), assoc::defaults::CheckSummary(result, assoc::defaults::Language::Japanese)) << count;
  }
}

TEST(CheckMessageTest, ALongLineIsCutButNeverInsideACharacter) {
  // The identifier fills the sentence far past the box's limit; a pair of surrogates (𠮷) sits
  // where the cut falls.
  const std::wstring head = L"3行目：「";
  std::wstring identifier(assoclist::kLongestFindingLine - head.size() - 1, L'x');
  identifier += L"\U00020BB7\U00020BB7";
  identifier += std::wstring(100, L'y');
  const std::vector<std::wstring> lines =
      Lines(assoclist::CheckMessage(Result({Missing(3, L"." + identifier.substr(1))})).text);
  EXPECT_EQ(lines[0], head + L"." + identifier.substr(1, assoclist::kLongestFindingLine - head.size() - 2) + L"…");
  EXPECT_EQ(lines[0].size(), assoclist::kLongestFindingLine);
}

}  // namespace
