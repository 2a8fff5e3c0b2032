#include "assoc/link_extention_winvista.h"

#include "assoc/registry_accessor.h"

namespace {

// Where the shell keeps its own per-user records of an extension, in the order they go.
constexpr const wchar_t* kShellRecordParents[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU\\",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\",
};

// Removes the shell's records of the extension below HKEY_CURRENT_USER. With KEY_WRITE only a
// record without sub-keys goes; anything that cannot go stays without a word. The empty
// extension and one holding "\" would name other keys than the extension's own, so they are
// left alone.
void RemoveShellRecords(const std::wstring& extention) {
  if (extention.empty() || extention.find(L'\\') != std::wstring::npos) return;
  assoc::RegistryAccessor registry(KEY_WRITE);
  registry.SetRootKey(HKEY_CURRENT_USER);
  for (const wchar_t* parent : kShellRecordParents) {
    registry.DeleteKey(parent + extention);
    registry.CloseKey();
  }
}

}  // namespace

void TLinkExtentionWinVista::Link(const std::wstring& Extention, const std::wstring& Command,
                                  const std::wstring& IconFile, int IconIndex, const std::wstring& FileType) {
  RemoveShellRecords(Extention);
  TLinkExtentionWinXp::Link(Extention, Command, IconFile, IconIndex, FileType);
}

TLinkExtention::TUnlinkResult TLinkExtentionWinVista::Unlink(const std::wstring& Extention) {
  RemoveShellRecords(Extention);
  return TLinkExtentionWinXp::Unlink(Extention);
}
