#include "assoclist/row_problems.h"

#include <windows.h>

#include "assoc/command_program.h"
#include "assoclist/assoc_table.h"
#include "assoclist/icon_cache.h"
#include "common/handles.h"

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

bool FileChecks::Readable(const std::wstring& path) {
  const std::wstring key = FoldCase(path);
  if (auto it = readable_.find(key); it != readable_.end()) return it->second;
  // Opened for reading, as starting a program or taking its icons would; a folder is no file.
  const common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool readable = static_cast<bool>(file);
  readable_.emplace(key, readable);
  return readable;
}

bool FileChecks::Found(const assoc::CommandProgram& program) {
  if (!program.bare) return Readable(program.path);
  // A bare name is looked up once; the search's answer is kept under the name.
  const std::wstring key = L"?" + FoldCase(program.path);
  if (auto it = readable_.find(key); it != readable_.end()) return it->second;
  const std::optional<std::wstring> found = assoc::LocateProgram(program);
  const bool readable = found && Readable(*found);
  readable_.emplace(key, readable);
  return readable;
}

bool FileChecks::ProgramFound(std::wstring_view command) {
  const std::optional<assoc::CommandProgram> program = assoc::ParseCommandProgram(command);
  return !program || Found(*program);
}

bool FileChecks::IconFileFound(std::wstring_view defaultIcon) {
  const std::optional<IconLocation> location = ParseIconLocation(defaultIcon);
  if (!location || location->file.find(L"%1") != std::wstring::npos) return true;
  const bool bare = location->file.find_first_of(L"\\/:") == std::wstring::npos;
  return Found(assoc::CommandProgram{location->file, bare});
}

}  // namespace assoclist
