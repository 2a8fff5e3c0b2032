#pragma once
// Icons taken from executables, libraries and icon files.

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "common/seam.h"

namespace common {

// ExtractIconW with the application's instance: a new icon handle for icon index of file,
// or, for index UINT_MAX (-1), the number of icons the file holds. Tests wrap it to watch
// the handles that come out.
extern Seam<HICON(const std::wstring& file, UINT index)> ExtractIconRaw;

// The number of icons that file holds; 0 when it holds none or cannot be read.
UINT IconCount(const std::wstring& file);

// Icon number index of file, owned by the caller; empty when there is none. ExtractIconW's
// other answers are not icons and give empty too: 1 (the file holds no icon resources) and
// anything for index -1 (which asks for the number of icons).
UniqueHIcon ExtractIconFrom(const std::wstring& file, int index);

}  // namespace common
