#include "settings/command_line.h"

namespace settings {

namespace {

// Reads the argument that starts at or after pos and moves pos past it; false when none is left.
bool NextArgument(std::wstring_view line, size_t& pos, std::wstring& argument) {
  while (pos < line.size() && line[pos] <= L' ') ++pos;
  if (pos == line.size()) return false;
  argument.clear();
  bool quoted = false;
  for (; pos < line.size() && (quoted || line[pos] > L' '); ++pos) {
    if (line[pos] == L'"')
      quoted = !quoted;
    else
      argument += line[pos];
  }
  return true;
}

}  // namespace

std::wstring FirstArgument(std::wstring_view commandLine) {
  size_t pos = 0;
  std::wstring argument;
  if (!NextArgument(commandLine, pos, argument) || !NextArgument(commandLine, pos, argument)) return {};
  return argument;
}

}  // namespace settings
