#pragma once
// The shell call of the store: the association change notice.

#include <windows.h>

#include "common/seam.h"

namespace assoc {

// Tells the shell that file associations changed (SHChangeNotify, SHCNE_ASSOCCHANGED).
// Tests wrap it to count notices.
extern common::Seam<void()> NotifyAssocChanged;

}  // namespace assoc
