#pragma once
// Where libraries loaded at run time come from. The tool may run elevated, so a library of the
// same name planted in the current folder or on PATH must never be loaded in place of the
// system's.

#include <windows.h>

#include "common/handles.h"

namespace common {

// Makes libraries loaded by name come from the system folder and folders added with
// AddDllDirectory only, never from the application's folder (the tool is unpacked anywhere),
// the current folder or PATH, for the rest of the process. False where the platform lacks it
// (Windows 7 without KB2533623), which leaves the search as it was. The libraries the build
// delay-loads (cmake/delay_load.cmake) come from the system folder whether or not this ran.
bool RestrictLibrarySearch();

// The library name of the system folder, never one of that name elsewhere; empty when it
// cannot be loaded.
UniqueHModule LoadSystemLibrary(const wchar_t* name);

}  // namespace common
