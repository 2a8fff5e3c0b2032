#pragma once
// The command line as the tool reads it.

#include <string>
#include <string_view>

namespace settings {

// The first argument after the program's own name. Arguments are separated by blanks and control
// characters; a double quote starts or ends a run in which blanks belong to the argument, and is
// itself dropped. Empty when there is no argument.
std::wstring FirstArgument(std::wstring_view commandLine);

}  // namespace settings
