#pragma once
// Windows 6.0 and later: before every register and delete, removes the shell's per-user
// records of the extension below HKEY_CURRENT_USER, then does the classic work.

#include "assoc/link_extention_winxp.h"

class TLinkExtentionWinVista : public TLinkExtentionWinXp {
 public:
  // The shell's records first (OpenSavePidlMRU\<ext>, then FileExts\<ext>, each only when it
  // has no sub-keys), then the classic steps. An extension that is empty or holds "\" or a NUL
  // would name other keys than its own: its records stay.
  void PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention, const std::wstring& Command,
                const std::wstring& IconFile, int IconIndex, const std::wstring& FileType,
                const std::wstring& TypeKey) override;
  TLinkExtention::TUnlinkResult PlanUnlink(assoc::TPlanBuilder& builder, const std::wstring& Extention) override;
};
