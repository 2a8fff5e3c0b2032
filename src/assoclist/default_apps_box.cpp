#include "assoclist/default_apps_box.h"

#include <windows.h>

#include <algorithm>

#include "assoc/default_apps_texts.h"
#include "assoclist/list_texts.h"
#include "common/exception.h"
#include "settings/file_access.h"

namespace assoclist {

namespace {

using assoc::defaults::Language;

// line cut after kLongestFindingLine characters, never inside a surrogate pair.
std::wstring Cut(std::wstring line) {
  if (line.size() <= kLongestFindingLine) return line;
  size_t at = kLongestFindingLine;
  if (IS_LOW_SURROGATE(line[at]) && IS_HIGH_SURROGATE(line[at - 1])) --at;
  line.resize(at);
  return line + L"…";
}

}  // namespace

SaveOutcome WriteDefaultApps(const std::wstring& fileName, const std::vector<assoc::defaults::DefaultApp>& apps) {
  try {
    const std::string bytes = assoc::defaults::DefaultAppsXml(apps);
    settings::ReplaceWholeFile(fileName, bytes);
  } catch (const Exception& e) {
    return {false, true, e.Message()};
  }
  return {true, false, assoc::defaults::ExportSummary(apps.size(), Language::Japanese)};
}

SaveOutcome SaveDefaultApps(const std::wstring& fileName) {
  return WriteDefaultApps(fileName, assoc::defaults::CollectDefaultApps(assoc::defaults::ExportScope::All));
}

BoxMessage CheckMessage(const assoc::defaults::CheckResult& result) {
  std::wstring text;
  const size_t shown = std::min(result.findings.size(), kMostFindingsShown);
  for (size_t i = 0; i < shown; ++i)
    text += Cut(assoc::defaults::FindingSentence(result.findings[i], Language::Japanese)) + L"\n";
  if (result.findings.size() > shown) text += texts::MoreFindings(shown, result.findings.size() - shown) + L"\n";
  if (!text.empty()) text += L"\n";
  text += assoc::defaults::CheckSummary(result, Language::Japanese);
  return {!result.nothingWrong, std::move(text)};
}

BoxMessage CheckDefaultAppsFile(const std::wstring& path) {
  try {
    return CheckMessage(assoc::defaults::CheckDefaultAppsFile(path));
  } catch (const assoc::defaults::DefaultAppsError& e) {
    return {true, e.Message()};
  }
}

}  // namespace assoclist
