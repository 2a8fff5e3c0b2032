#pragma once
// Icons taken from executables, libraries and icon files.

#include <string>

#include "common/handles.h"

namespace common {

// Icon number index of file, owned by the caller; empty when there is none. ExtractIconW's
// other answers are not icons and give empty too: 1 (the file holds no icon resources) and
// anything for index -1 (which asks for the number of icons).
UniqueHIcon ExtractIconFrom(const std::wstring& file, int index);

}  // namespace common
