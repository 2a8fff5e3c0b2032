#include "assoc/shell_assoc.h"

#include <shellapi.h>
#include <shlobj.h>

namespace assoc {

namespace {

// The shell looks at no item for this event, so both are null.
void ShellNotifyAssocChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace

common::Seam<void()> NotifyAssocChanged(&ShellNotifyAssocChanged);

HICON SmallIconOfExtension(const std::wstring& extension) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(extension.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES))
    return nullptr;
  return info.hIcon;
}

}  // namespace assoc
