#include "assoc/command_program.h"

#include <windows.h>

#include "common/local_files.h"

namespace assoc {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
             CSTR_EQUAL;
}

// Where the first ".exe" ends that a blank, a quotation mark or the end follows; npos if none.
size_t EndOfExe(std::wstring_view text) {
  constexpr std::wstring_view kExe = L".exe";
  for (size_t at = 0; at + kExe.size() <= text.size(); ++at) {
    if (!EqualsNoCase(text.substr(at, kExe.size()), kExe)) continue;
    const size_t end = at + kExe.size();
    if (end == text.size() || IsBlank(text[end]) || text[end] == L'"') return end;
  }
  return std::wstring_view::npos;
}

// The first word of text (leading blanks skipped), and what follows it in rest.
std::wstring_view FirstProgram(std::wstring_view text, std::wstring_view& rest) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  if (!text.empty() && text.front() == L'"') {
    const size_t close = text.find(L'"', 1);
    rest = close == std::wstring_view::npos ? std::wstring_view() : text.substr(close + 1);
    return text.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1);
  }
  size_t end = EndOfExe(text);
  if (end == std::wstring_view::npos) {
    end = 0;
    while (end < text.size() && !IsBlank(text[end])) ++end;
  }
  rest = text.substr(end);
  return text.substr(0, end);
}

// The library of rundll32's arguments: quoted, or up to its ",".
std::wstring_view LibraryOf(std::wstring_view arguments) {
  arguments = TrimBlanks(arguments);
  if (!arguments.empty() && arguments.front() == L'"') {
    const size_t close = arguments.find(L'"', 1);
    return arguments.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1);
  }
  return TrimBlanks(arguments.substr(0, arguments.find(L',')));
}

bool IsRundll32(std::wstring_view path) {
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  return EqualsNoCase(name, L"rundll32.exe") || EqualsNoCase(name, L"rundll32");
}

// A placeholder for the file opened: %1, %L, %l or %*.
bool IsPlaceholder(std::wstring_view path) {
  for (std::wstring_view mark : {L"%1", L"%L", L"%l", L"%*"})
    if (path.find(mark) != std::wstring_view::npos) return true;
  return false;
}

}  // namespace

std::wstring ExpandEnvironment(std::wstring_view text) {
  const std::wstring stored(text);
  std::wstring expanded(stored.size() + MAX_PATH, L'\0');
  for (int round = 0; round < 4; ++round) {
    const DWORD length = ExpandEnvironmentStringsW(stored.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (length == 0) return stored;
    if (length <= expanded.size()) {
      expanded.resize(length - 1);
      return expanded;
    }
    expanded.resize(length);
  }
  return stored;
}

std::optional<CommandProgram> ParseCommandProgram(std::wstring_view command) {
  std::wstring_view rest;
  std::wstring_view program = FirstProgram(command, rest);
  if (IsRundll32(program)) program = LibraryOf(rest);
  if (program.empty() || IsPlaceholder(program)) return std::nullopt;
  CommandProgram found{ExpandEnvironment(program)};
  found.bare = found.path.find_first_of(L"\\/:") == std::wstring::npos;
  return found;
}

std::optional<std::wstring> LocateProgram(const CommandProgram& program) {
  if (!program.bare) return program.path;
  std::wstring found = common::FindOnLocalSearchPath(program.path, L".exe");
  if (found.empty()) return std::nullopt;
  return found;
}

}  // namespace assoc
