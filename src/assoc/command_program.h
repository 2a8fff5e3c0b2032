#pragma once
// The program a command line starts, found as Windows finds it, for telling whether that program
// is still there. Text only but for the environment; finding a bare name asks the file system.

#include <optional>
#include <string>
#include <string_view>

namespace assoc {

// The program of a command, as written there.
struct CommandProgram {
  std::wstring path;  // environment references expanded; a rundll32 command's library
  bool bare = false;  // a name without a folder, which Windows looks for on the search path
  bool operator==(const CommandProgram&) const = default;
};

// The program command starts: after leading blanks, the text inside its opening quotation mark
// (up to the closing one, or the end); unquoted, the text up to the first ".exe" that a blank
// or the end follows, or else up to the first blank. For rundll32 (with or without a folder or
// ".exe"), the library in its first argument instead, quoted or up to its ",". Nothing when
// there is no program, or it is a placeholder ("%1", "%L"), which stands for the file opened.
std::optional<CommandProgram> ParseCommandProgram(std::wstring_view command);

// The file that program names: its path, or for a bare name the file Windows' search path finds
// (".exe" added when it has no extension) among its local folders (common::FindOnLocalSearchPath);
// nothing when a bare name is found nowhere there.
std::optional<std::wstring> LocateProgram(const CommandProgram& program);

// text with its environment references expanded (text itself when it cannot be).
std::wstring ExpandEnvironment(std::wstring_view text);

}  // namespace assoc
