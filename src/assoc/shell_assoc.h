#pragma once
// The two shell calls of the store: the association change notice and an extension's icon.

#include <windows.h>

#include <string>

#include "common/seam.h"

namespace assoc {

// Tells the shell that file associations changed (SHChangeNotify, SHCNE_ASSOCCHANGED).
// Tests wrap it to count notices.
extern common::Seam<void()> NotifyAssocChanged;

// The shell's small icon for files of the extension, owned by the caller; null on failure.
// No file is touched.
HICON SmallIconOfExtension(const std::wstring& extension);

}  // namespace assoc
