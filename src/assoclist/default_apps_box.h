#pragma once
// The list's two commands on the default associations file that Windows applies at sign-in:
// saving this user's associations as one, and checking one against this machine. No window code:
// the window asks for the file, calls these and shows the sentence handed back.

#include <cstddef>
#include <string>
#include <vector>

#include "assoc/default_apps.h"
#include "assoclist/list_saves.h"

namespace assoclist {

// The most findings a check's box lists one per line; the rest are counted on one line, so that
// a box never grows taller than the screen.
inline constexpr size_t kMostFindingsShown = 30;
// The most characters of one finding's line in the box before it is cut and "…" appended.
inline constexpr size_t kLongestFindingLine = 150;

// What a box says: whether it warns (else it informs), and its text.
struct BoxMessage {
  bool warning = false;
  std::wstring text;
  bool operator==(const BoxMessage&) const = default;
};

// Writes assoc::defaults::DefaultAppsXml(apps) over fileName in one step
// (settings::ReplaceWholeFile); the message says how many associations the file holds
// (assoc::defaults::ExportSummary). A failure (the XML library's or the write's) leaves the file
// as it was and answers its message, failed and not written; raises only std::bad_alloc.
SaveOutcome WriteDefaultApps(const std::wstring& fileName, const std::vector<assoc::defaults::DefaultApp>& apps);

// WriteDefaultApps of every association of this machine's user
// (assoc::defaults::CollectDefaultApps(ExportScope::All)). Reads the registry only.
SaveOutcome SaveDefaultApps(const std::wstring& fileName);

// The box of a check: the sentence of each finding (at most kMostFindingsShown, each cut after
// kLongestFindingLine characters, then a line counting the rest), a blank line, and
// assoc::defaults::CheckSummary; only the summary when nothing was found. Warns unless
// result.nothingWrong.
BoxMessage CheckMessage(const assoc::defaults::CheckResult& result);

// CheckMessage of assoc::defaults::CheckDefaultAppsFile(path); when the check cannot run
// (assoc::defaults::DefaultAppsError), a warning with its message. Writes nothing; raises only
// std::bad_alloc.
BoxMessage CheckDefaultAppsFile(const std::wstring& path);

}  // namespace assoclist
