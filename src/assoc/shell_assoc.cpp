#include "assoc/shell_assoc.h"

#include <shlobj.h>

namespace assoc {

namespace {

// The shell looks at no item for this event, so both are null.
void ShellNotifyAssocChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace

common::Seam<void()> NotifyAssocChanged(&ShellNotifyAssocChanged);

}  // namespace assoc
