#include "assoclist/row_problems.h"

#include <windows.h>

#include "assoc/command_program.h"
#include "assoclist/assoc_table.h"
#include "assoclist/icon_cache.h"

namespace assoclist {

std::wstring ProblemCell(unsigned problems) {
  std::wstring cell;
  for (const ProblemText& row : kProblemTexts) {
    if (!(problems & row.problem)) continue;
    if (!cell.empty()) cell += L"、";
    cell += row.text;
  }
  return cell;
}

common::FileState FileChecks::State(const std::wstring& path) {
  const std::wstring key = FoldCase(path);
  if (auto it = states_.find(key); it != states_.end()) return it->second;
  // Opened for reading, as starting a program or taking its icons would; a folder is no file.
  const common::FileState state = common::CheckFile(path, drives_);
  states_.emplace(key, state);
  return state;
}

common::FileState FileChecks::Find(const assoc::CommandProgram& program) {
  if (!program.bare) return State(program.path);
  // A bare name is looked up once; the search's answer is kept under the name.
  const std::wstring key = L"?" + FoldCase(program.path);
  if (auto it = states_.find(key); it != states_.end()) return it->second;
  const std::optional<std::wstring> found = assoc::LocateProgram(program);
  const common::FileState state = found ? State(*found) : common::FileState::Missing;
  states_.emplace(key, state);
  return state;
}

namespace {

// The problem a file in state gives: none when it is there, missing when it is not, and
// kNotChecked when it was not looked at.
unsigned ProblemOf(common::FileState state, Problem missing) {
  switch (state) {
    case common::FileState::Found:
      return 0;
    case common::FileState::Missing:
      return missing;
    case common::FileState::NotLocal:
      return kNotChecked;
  }
  return 0;
}

}  // namespace

unsigned FileChecks::ProgramProblems(std::wstring_view command) {
  const std::optional<assoc::CommandProgram> program = assoc::ParseCommandProgram(command);
  return program ? ProblemOf(Find(*program), kNoProgram) : 0;
}

unsigned FileChecks::IconFileProblems(std::wstring_view defaultIcon) {
  const std::optional<IconLocation> location = ParseIconLocation(defaultIcon);
  if (!location || location->file.find(L"%1") != std::wstring::npos) return 0;
  const bool bare = location->file.find_first_of(L"\\/:") == std::wstring::npos;
  return ProblemOf(Find(assoc::CommandProgram{location->file, bare}), kNoIconFile);
}

}  // namespace assoclist
